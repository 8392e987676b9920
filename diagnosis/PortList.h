#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace adc {

/// The serial ports this computer has: for --list-ports, the start dialog, the window's menu and
/// the hints of the port's messages. Both lists come in the order of their paths, with numbers
/// counted as numbers (ttyS2 before ttyS10).
class PortList {
public:
    /// What identifies one port; empty texts and a zero USB identifier stand for unknown.
    struct Port {
        QString device;       ///< the path to give --port, e.g. "/dev/ttyUSB0"
        QString description;  ///< e.g. "FT232R USB UART"
        QString manufacturer; ///< e.g. "FTDI"
        QString serialNumber;
        quint16 vendorId = 0; ///< USB vendor and product, when the port is a USB device
        quint16 productId = 0;
    };

    /// Every serial port the system reports (QSerialPortInfo). Slow: Qt opens every on-board
    /// port to see whether it is real, so a window asks for it in the background.
    static QList<Port> available();
    /// The paths of available() and of any USB adapter in /dev (ttyUSB*, ttyACM*) besides.
    static QStringList devices();

    /// One line per port: the device path, then what else identifies it, as in
    /// "/dev/ttyUSB0  FT232R USB UART, manufacturer FTDI, serial number A50285BI, USB 0403:6001".
    /// "No serial ports found." when there are none.
    static QString text(const QList<Port> &ports);
};

} // namespace adc
