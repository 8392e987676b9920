#pragma once

#include <QByteArray>
#include <QString>

namespace adc {

/// The device that stands for serial port 1 unless the user names another.
inline constexpr char kDefaultPort1Device[] = "/dev/ttyS0";

/// A device's file name as the user gave it, byte for byte, held in a QString.
///
/// File names are bytes; Qt reads them as UTF-8 and turns a byte that is not UTF-8 into U+FFFD,
/// so that a name such as "/dev/board\xff" would be looked up as another file. Here a name that
/// is not UTF-8 keeps every byte from 0x80 up as the lone surrogate U+DC80 + (byte - 0x80), and
/// toBytes() gives the bytes back.
class DeviceName {
public:
    /// Reads `bytes` as UTF-8, or keeps them as they are when they are not UTF-8.
    static QString fromBytes(const QByteArray &bytes);
    /// The bytes fromBytes() was given.
    static QByteArray toBytes(const QString &name);
    /// The file `name` stands for: a bare name is a device in /dev, as Qt Serial Port reads it
    /// ("ttyUSB0").
    static QByteArray filePath(const QString &name);
    /// The name for a message: kept bytes written "\xNN", and the middle of a name longer than
    /// kShownLength left out, so that a message box stays narrower than the screen.
    static QString shown(const QString &name);

    static constexpr int kShownLength = 64;
};

} // namespace adc
