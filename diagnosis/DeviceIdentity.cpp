#include "DeviceIdentity.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace adc {

namespace {

/// The serial number of the USB device that `realDevice` (e.g. "/dev/ttyUSB0") belongs to, read
/// from sysfs: the nearest parent of the tty's device that is a USB device with a serial number.
std::string usbSerialOf(const std::filesystem::path &realDevice)
{
    namespace fs = std::filesystem;
    std::error_code error;
    fs::path dir =
        fs::canonical(fs::path("/sys/class/tty") / realDevice.filename() / "device", error);
    for (; !error && dir.has_relative_path() && dir != "/sys/devices"; dir = dir.parent_path()) {
        if (fs::exists(dir / "idVendor", error)) {
            std::ifstream in(dir / "serial");
            std::string serial;
            std::getline(in, serial);
            return serial;
        }
    }
    return {};
}

} // namespace

DeviceIdentity DeviceIdentity::of(const std::string &path)
{
    DeviceIdentity id;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return id;
    }
    id.exists = true;
    id.characterDevice = S_ISCHR(st.st_mode);
    id.uid = st.st_uid;
    id.gid = st.st_gid;
    id.mode = st.st_mode & 07777;
    if (id.characterDevice) {
        std::error_code error;
        const std::filesystem::path real = std::filesystem::canonical(path, error);
        if (!error) {
            id.usbSerial = usbSerialOf(real);
        }
    }
    return id;
}

std::string DeviceIdentity::differenceFrom(const DeviceIdentity &lost) const
{
    if (!characterDevice) {
        return "is not a character device";
    }
    if (uid != lost.uid || gid != lost.gid) {
        return "belongs to " + ownerName() + ":" + groupName() + ", not to " + lost.ownerName() +
               ":" + lost.groupName() + " as the lost one did";
    }
    if (!lost.usbSerial.empty() && usbSerial != lost.usbSerial) {
        return "has the serial number \"" + usbSerial + "\", not \"" + lost.usbSerial + "\"";
    }
    return {};
}

std::string DeviceIdentity::ownerName() const
{
    std::array<char, 1024> buffer;
    passwd entry{};
    passwd *found = nullptr;
    ::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found);
    return found != nullptr ? std::string(found->pw_name) : std::to_string(uid);
}

std::string DeviceIdentity::groupName() const
{
    std::array<char, 1024> buffer;
    group entry{};
    group *found = nullptr;
    ::getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found);
    return found != nullptr ? std::string(found->gr_name) : std::to_string(gid);
}

std::string DeviceIdentity::modeText() const
{
    std::string text = characterDevice ? "c" : "-";
    const char *const letters = "rwxrwxrwx";
    for (int bit = 0; bit < 9; ++bit) {
        text += (mode & (0400u >> bit)) != 0 ? letters[bit] : '-';
    }
    return text;
}

} // namespace adc
