#include "SerialMessages.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSerialPortInfo>
#include <QStringList>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace adc {

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("adc::SerialMessages", text);
}

/// The serial devices on this computer, for the hint when the chosen one is missing.
QStringList serialDevices()
{
    QStringList found;
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports) {
        found << info.systemLocation();
    }
    const QDir dev(QStringLiteral("/dev"));
    const QStringList adapters =
        dev.entryList({QStringLiteral("ttyUSB*"), QStringLiteral("ttyACM*")}, QDir::System);
    for (const QString &name : adapters) {
        found << dev.filePath(name);
    }
    found.removeDuplicates();
    found.sort();
    return found;
}

QString devicesHint()
{
    const QStringList devices = serialDevices();
    const QString list = devices.isEmpty() ? tr("none found") : devices.join(QStringLiteral(", "));
    return tr("Serial devices on this computer: %1. Start the program with "
              "--port DEVICE to use another one.")
        .arg(list);
}

/// Whether this process may open `device` for reading (with its effective rights, as open()).
bool mayRead(const QString &device)
{
    const QByteArray path = QFile::encodeName(device);
    return ::faccessat(AT_FDCWD, path.constData(), R_OK, AT_EACCESS) == 0 || errno != EACCES;
}

} // namespace

QString SerialMessages::openFailed(const QString &device, QSerialPort::SerialPortError error,
                                   const QString &reason)
{
    const QString &shown = device;
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        return tr("Cannot open %1: the device does not exist. %2").arg(shown, devicesHint());
    case QSerialPort::PermissionError:
        if (!mayRead(device)) {
            return tr("Cannot open %1: permission denied. Add your user to the \"dialout\" group "
                      "(sudo usermod -aG dialout $USER) and log in again.")
                .arg(shown);
        }
        return tr("Cannot open %1: the device is busy; another program is using it. Close that "
                  "program and try again.")
            .arg(shown);
    case QSerialPort::UnsupportedOperationError:
        return tr("Cannot open %1: it is not a serial port (%2). %3")
            .arg(shown, reason, devicesHint());
    case QSerialPort::ResourceError:
        return tr("Cannot open %1: the device does not answer (%2); there may be no serial port "
                  "behind it. %3")
            .arg(shown, reason, devicesHint());
    default:
        return tr("Cannot open %1: %2.").arg(shown, reason);
    }
}

QString SerialMessages::connectionLost(const QString &device, const QString &reason)
{
    return tr("The connection to %1 was lost (%2). Plug the board back in and click Start again.")
        .arg(device, reason);
}

QString SerialMessages::hungUp()
{
    return tr("the device hung up or was unplugged");
}

QString SerialMessages::lineSettingsFailed(const QString &device, const QString &reason)
{
    return tr("Cannot apply the serial settings to %1: %2.").arg(device, reason);
}

QString SerialMessages::rtsFailed(const QString &device, const QString &reason)
{
    return tr("Cannot set the RTS line of %1: %2.").arg(device, reason);
}

QString SerialMessages::settingsRefused(std::string_view settings)
{
    return tr("The serial settings \"%1\" are not valid. The line is always "
              "\"baud,N,8,1\", for example \"9600,N,8,1\".")
        .arg(QString::fromUtf8(settings.data(), static_cast<qsizetype>(settings.size())));
}

QString SerialMessages::onlyPort1(int port)
{
    return tr("There is no serial port number %1; the board is on port 1.").arg(port);
}

QString SerialMessages::inBufferCountRefused(int count)
{
    return tr("The receive buffer can only be emptied (count 0), not set to %1.").arg(count);
}

QString SerialMessages::negativeRefused(const char *what, int value)
{
    return tr("The %1 cannot be negative (%2).").arg(tr(what)).arg(value);
}

} // namespace adc
