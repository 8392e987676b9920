#include "SerialMessages.h"
#include "DeviceName.h"
#include "LineSettings.h"

#include "DeviceIdentity.h"
#include "PortDiagnosis.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>

#include <optional>

namespace adc {

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("adc::SerialMessages", text);
}

QString devicesHint(SerialMessages::Choice choice = SerialMessages::Choice::PortOption)
{
    // A list a few seconds old is fine for a hint; before the first one there is none.
    const std::optional<QStringList> devices = PortDiagnosis::devices();
    if (choice == SerialMessages::Choice::DeviceList) {
        return devices ? tr("Serial devices on this computer: %1.")
                             .arg(devices->isEmpty() ? tr("none found")
                                                     : devices->join(QStringLiteral(", ")))
                       : QString();
    }
    if (!devices) {
        return tr("Start the program with --port DEVICE to use another one; \"adconverter "
                  "--list-ports\" tells which serial devices there are.");
    }
    const QString list =
        devices->isEmpty() ? tr("none found") : devices->join(QStringLiteral(", "));
    return tr("Serial devices on this computer: %1. Start the program with "
              "--port DEVICE to use another one; \"adconverter --list-ports\" tells "
              "which is which.")
        .arg(list);
}

QString permissionDenied(const QString &device, const QString &realDevice)
{
    const DeviceIdentity id = DeviceIdentity::of(DeviceName::toBytes(realDevice).toStdString());
    const QString group = QString::fromStdString(id.groupName());
    QString text = tr("Cannot open %1: permission denied; it belongs to user %2 and group %3, "
                      "mode %4.")
                       .arg(DeviceName::shown(device), QString::fromStdString(id.ownerName()),
                            group, QString::fromStdString(id.modeText()));
    if (group == QLatin1String("dialout")) {
        return text + tr(" Add your user to the \"dialout\" group (sudo usermod -aG dialout "
                         "$USER) and log in again.");
    }
    return text + tr(" Ask whoever looks after this computer for read access to it.");
}

QString busyOrLocked(const QString &device, const QString &realDevice)
{
    const std::optional<PortDiagnosis::LockHolder> holder = PortDiagnosis::lockHolder(realDevice);
    if (holder && holder->gone) {
        return tr("Cannot open %1: its lock file %2 was left behind by a program that no longer "
                  "runs (process %3), and you may not remove it. Remove it with "
                  "\"sudo rm %2\" and try again.")
            .arg(DeviceName::shown(device), holder->lockFile, QString::number(holder->pid));
    }
    if (holder && holder->pid > 0) {
        const QString program = holder->program.isEmpty()
                                    ? tr("a program")
                                    : QStringLiteral("\"%1\"").arg(holder->program);
        return tr("Cannot open %1: the device is busy; %2 (process %3) is using it. Close that "
                  "program and try again.")
            .arg(DeviceName::shown(device), program, QString::number(holder->pid));
    }
    return tr("Cannot open %1: the device is busy; another program is using it. Close that "
              "program and try again.")
        .arg(DeviceName::shown(device));
}

} // namespace

QString SerialMessages::openFailed(const QString &device, const QString &realDevice,
                                   QSerialPort::SerialPortError error, const QString &reason)
{
    const QString shown = DeviceName::shown(device);
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        return missing(device);
    case QSerialPort::PermissionError:
        if (!PortDiagnosis::mayRead(DeviceName::toBytes(realDevice))) {
            return permissionDenied(device, realDevice);
        }
        return busyOrLocked(device, realDevice);
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

QString SerialMessages::unavailable(const QString &device, const QString &realDevice)
{
    if (!PortDiagnosis::mayRead(DeviceName::toBytes(realDevice))) {
        return permissionDenied(device, realDevice);
    }
    // A lock left behind is in the way only where it may not be removed.
    const std::optional<PortDiagnosis::LockHolder> holder = PortDiagnosis::lockHolder(realDevice);
    const bool stale =
        holder && holder->gone && !QFileInfo(QFileInfo(holder->lockFile).path()).isWritable();
    const bool held = holder && !holder->gone && holder->pid > 0 &&
                      holder->pid != QCoreApplication::applicationPid();
    return stale || held ? busyOrLocked(device, realDevice) : QString();
}

QString SerialMessages::missing(const QString &device, Choice choice)
{
    return tr("Cannot open %1: the device does not exist. %2")
        .arg(DeviceName::shown(device), devicesHint(choice))
        .trimmed();
}

QString SerialMessages::unnamable(const QString &device, const QString &realDevice)
{
    return tr("Cannot open %1: it leads to %2, whose name is not UTF-8. Give a link to it with "
              "a plain name to --port.")
        .arg(DeviceName::shown(device), DeviceName::shown(realDevice));
}

QString SerialMessages::connectionLost(const QString &device, const QString &reason)
{
    return tr("The connection to %1 was lost (%2). Plug the board back in and click Start again.")
        .arg(DeviceName::shown(device), reason);
}

QString SerialMessages::connectionLostInTerminal(const QString &device, const QString &reason)
{
    return tr("The connection to %1 was lost (%2). Plug the board back in and run adconverter "
              "again; with --reconnect it waits for the device to come back instead.")
        .arg(DeviceName::shown(device), reason);
}

QString SerialMessages::hungUp()
{
    return tr("the device hung up or was unplugged");
}

QString SerialMessages::lineSettingsFailed(const QString &device, const QString &reason)
{
    return tr("Cannot apply the serial settings to %1: %2.").arg(DeviceName::shown(device), reason);
}

QString SerialMessages::speedRefused(const QString &device, qint32 baud, const QString &reason)
{
    return tr("Cannot set %1 to %2 baud: %3. Start the program with --baud and a speed the "
              "board and the port both have, such as 9600 or 115200.")
        .arg(DeviceName::shown(device), QString::number(baud), reason);
}

QString SerialMessages::speedReplaced(qint32 baud)
{
    return tr("the device runs at %1 baud instead").arg(baud);
}

QString SerialMessages::rtsFailed(const QString &device, const QString &reason)
{
    return tr("Cannot set the RTS line of %1: %2.").arg(DeviceName::shown(device), reason);
}

QString SerialMessages::notOpenForSending()
{
    return tr("Nothing was sent: the port is not open.");
}

QString SerialMessages::sendingBehind(qint64 waiting)
{
    return tr("Nothing was sent: %1 bytes sent before still wait to go out.").arg(waiting);
}

QString SerialMessages::readOnly()
{
    return tr("this user may only read it");
}

QString SerialMessages::writeFailed(const QString &device, const QString &reason)
{
    return tr("Cannot write to %1: %2.").arg(DeviceName::shown(device), reason);
}

QString SerialMessages::speedOutOfRange()
{
    return tr("the speed must be from %1 to %2 baud").arg(kMinBaud).arg(kMaxBaud);
}

QString SerialMessages::inBufferCountRefused(int count)
{
    return tr("The receive buffer can only be emptied (count 0), not set to %1.").arg(count);
}

} // namespace adc
