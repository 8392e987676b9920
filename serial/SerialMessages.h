#pragma once

#include <QSerialPort>
#include <QString>

#include <string_view>

namespace adc {

/// The serial port's texts for the user: which device, what went wrong and, where one helps,
/// what to do about it.
class SerialMessages {
public:
    /// Why opening `device` failed with `error` (Qt's `reason`).
    static QString openFailed(const QString &device, QSerialPort::SerialPortError error,
                              const QString &reason);
    /// A device that was open is gone during a run.
    static QString connectionLost(const QString &device, const QString &reason);
    /// The reason given when the line hung up.
    static QString hungUp();
    static QString lineSettingsFailed(const QString &device, const QString &reason);
    static QString rtsFailed(const QString &device, const QString &reason);

    static QString settingsRefused(std::string_view settings);
    static QString onlyPort1(int port);
    static QString inBufferCountRefused(int count);
    static QString negativeRefused(const char *what, int value);
};

} // namespace adc
