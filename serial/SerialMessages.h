#pragma once

#include <QSerialPort>
#include <QString>

namespace adc {

/// The serial port's texts for the user: which device, what went wrong and, where one helps,
/// what to do about it. Every device name in them is shortened by DeviceName::shown().
class SerialMessages {
public:
    /// Where the user picks another device: with --port when starting the program, or in the
    /// start dialog's Device list.
    enum class Choice { PortOption, DeviceList };

    /// Why opening `device` failed with `error` (Qt's `reason`); `realDevice` is the device
    /// file the name led to, whose lock file is looked at when the device seems busy.
    static QString openFailed(const QString &device, const QString &realDevice,
                              QSerialPort::SerialPortError error, const QString &reason);
    /// Why `device`, found at `realDevice`, would not open, told without opening it: this user
    /// may not read it, or another program holds its lock. Empty when neither is the case.
    static QString unavailable(const QString &device, const QString &realDevice);
    /// `device` (or a link on the way to it) does not exist; the hint names the devices there
    /// are and where to choose another.
    static QString missing(const QString &device, Choice choice = Choice::PortOption);
    /// The name leads to a device file whose own name Qt cannot pass on unchanged.
    static QString unnamable(const QString &device, const QString &realDevice);
    /// A device that was open is gone, or broke, during a run.
    static QString connectionLost(const QString &device, const QString &reason);
    /// The same for a program in a terminal, which has no Start button.
    static QString connectionLostInTerminal(const QString &device, const QString &reason);
    /// The reason given when the line hung up.
    static QString hungUp();
    static QString lineSettingsFailed(const QString &device, const QString &reason);
    /// `device` does not take the speed `baud` (`reason`).
    static QString speedRefused(const QString &device, qint32 baud, const QString &reason);
    /// The reason given when a device runs at `baud` in place of the speed asked for.
    static QString speedReplaced(qint32 baud);
    static QString rtsFailed(const QString &device, const QString &reason);
    /// The reason given for a speed no line may have.
    static QString speedOutOfRange();
    static QString inBufferCountRefused(int count);
    /// Nothing can be sent: the port is closed.
    static QString notOpenForSending();
    /// What was sent before still waits to go out (`waiting` bytes).
    static QString sendingBehind(qint64 waiting);
    /// The reason given when the device may only be read by this user.
    static QString readOnly();
    /// Writing to `device` failed (`reason`).
    static QString writeFailed(const QString &device, const QString &reason);
};

} // namespace adc
