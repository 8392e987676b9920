#pragma once

#include <string>

namespace adc {

/// What tells one device file from another at the same path: whether it is a character device,
/// its owner, group and mode and, for a USB adapter, the serial number the system gives for it.
///
/// A run that waits for its lost device reopens only a device like the one it lost, so that
/// another user's terminal or another adapter that takes the path is not opened in its place.
struct DeviceIdentity {
    bool exists = false;
    bool characterDevice = false;
    unsigned uid = 0;
    unsigned gid = 0;
    /// The permission bits, as chmod takes them.
    unsigned mode = 0;
    /// The USB serial number; empty where the system gives none.
    std::string usbSerial;

    /// The device file `path` leads to (links followed). One stat() when there is none.
    static DeviceIdentity of(const std::string &path);

    /// Why this device is not `lost`, in words that follow "the device there now": empty when
    /// it may be the same device.
    std::string differenceFrom(const DeviceIdentity &lost) const;

    /// The owner's and the group's names (numbers where there are none).
    std::string ownerName() const;
    std::string groupName() const;
    /// The mode as ls shows it, e.g. "crw-rw----".
    std::string modeText() const;
};

} // namespace adc
