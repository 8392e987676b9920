#include "PortList.h"

#include <QDir>
#include <QSerialPortInfo>

#include <algorithm>
#include <tuple>

namespace adc {

namespace {

/// A device path split before its trailing number, so that ttyS2 sorts before ttyS10.
std::tuple<QString, qulonglong, QString> sortKey(const QString &device)
{
    qsizetype digits = device.size();
    while (digits > 0 && device.at(digits - 1).isDigit()) {
        --digits;
    }
    return {device.left(digits), device.mid(digits).toULongLong(), device};
}

bool before(const QString &a, const QString &b)
{
    return sortKey(a) < sortKey(b);
}

} // namespace

QList<PortList::Port> PortList::available()
{
    QList<Port> ports;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        Port port{info.systemLocation(), info.description(), info.manufacturer(),
                  info.serialNumber()};
        if (info.hasVendorIdentifier() && info.hasProductIdentifier()) {
            port.vendorId = info.vendorIdentifier();
            port.productId = info.productIdentifier();
        }
        ports << port;
    }
    std::sort(ports.begin(), ports.end(),
              [](const Port &a, const Port &b) { return before(a.device, b.device); });
    return ports;
}

QStringList PortList::devices()
{
    QStringList found;
    for (const Port &port : available()) {
        found << port.device;
    }
    const QDir dev(QStringLiteral("/dev"));
    const QStringList adapters =
        dev.entryList({QStringLiteral("ttyUSB*"), QStringLiteral("ttyACM*")}, QDir::System);
    for (const QString &name : adapters) {
        found << dev.filePath(name);
    }
    found.removeDuplicates();
    std::sort(found.begin(), found.end(), before);
    return found;
}

QString PortList::text(const QList<Port> &ports)
{
    if (ports.isEmpty()) {
        return QStringLiteral("No serial ports found.\n");
    }
    QString text;
    for (const Port &port : ports) {
        QStringList details;
        if (!port.description.isEmpty()) {
            details << port.description;
        }
        if (!port.manufacturer.isEmpty()) {
            details << QStringLiteral("manufacturer ") + port.manufacturer;
        }
        if (!port.serialNumber.isEmpty()) {
            details << QStringLiteral("serial number ") + port.serialNumber;
        }
        if (port.vendorId != 0 || port.productId != 0) {
            details << QStringLiteral("USB %1:%2")
                           .arg(port.vendorId, 4, 16, QLatin1Char('0'))
                           .arg(port.productId, 4, 16, QLatin1Char('0'));
        }
        text += port.device;
        if (!details.isEmpty()) {
            text += QStringLiteral("  ") + details.join(QStringLiteral(", "));
        }
        text += QLatin1Char('\n');
    }
    return text;
}

} // namespace adc
