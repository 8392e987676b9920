#include "SerialMessages.h"
#include "DeviceName.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSerialPortInfo>
#include <QStringList>
#include <QSysInfo>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <future>
#include <mutex>
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

/// The list gathered ahead of the next message, if any.
std::mutex g_gatheredLock;
std::future<QStringList> g_gathered;

QStringList gatheredDevices()
{
    std::future<QStringList> gathered;
    {
        const std::lock_guard<std::mutex> lock(g_gatheredLock);
        gathered = std::move(g_gathered);
    }
    QStringList devices = gathered.valid() ? gathered.get() : serialDevices();
    // The next message gets a fresh list: a board may be plugged in meanwhile.
    SerialMessages::gatherDevices();
    return devices;
}

QString devicesHint()
{
    const QStringList devices = gatheredDevices();
    const QString list = devices.isEmpty() ? tr("none found") : devices.join(QStringLiteral(", "));
    return tr("Serial devices on this computer: %1. Start the program with "
              "--port DEVICE to use another one; \"adconverter --list-ports\" tells "
              "which is which.")
        .arg(list);
}

/// Whether this process may open `device` for reading (with its effective rights, as open()).
bool mayRead(const QString &device)
{
    const QByteArray path = DeviceName::toBytes(device);
    return ::faccessat(AT_FDCWD, path.constData(), R_OK, AT_EACCESS) == 0 || errno != EACCES;
}

/// The lock file Qt Serial Port keeps for `realDevice` ("/var/lock/LCK..ttyUSB0"), if there is
/// one: the same folders and name as Qt's own.
QString lockFileOf(const QString &realDevice)
{
    QString name = realDevice;
    if (name.startsWith(QLatin1String("/dev/"))) {
        name.remove(0, 5);
    }
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    const QStringList folders = {QStringLiteral("/var/lock"), QStringLiteral("/etc/locks"),
                                 QStringLiteral("/var/spool/locks"),
                                 QStringLiteral("/var/spool/uucp"), QDir::tempPath()};
    for (const QString &folder : folders) {
        const QString path = folder + QStringLiteral("/LCK..") + name;
        if (QFile::exists(path)) {
            return path;
        }
    }
    return {};
}

/// The process that left `lockFile` behind and no longer runs on this computer, or 0.
qint64 goneOwnerOf(const QString &lockFile)
{
    qint64 pid = 0;
    QString host;
    QString program;
    if (lockFile.isEmpty() || !QLockFile(lockFile).getLockInfo(&pid, &host, &program) || pid <= 0 ||
        (!host.isEmpty() && host != QSysInfo::machineHostName())) {
        return 0;
    }
    return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH ? pid : 0;
}

/// Whether the program that keeps `lockFile` runs, and is another than this one.
bool heldByOther(const QString &lockFile)
{
    qint64 pid = 0;
    QString host;
    QString program;
    if (lockFile.isEmpty() || !QLockFile(lockFile).getLockInfo(&pid, &host, &program) || pid <= 0 ||
        pid == QCoreApplication::applicationPid() ||
        (!host.isEmpty() && host != QSysInfo::machineHostName())) {
        return false;
    }
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

QString busyOrLocked(const QString &device, const QString &realDevice)
{
    const QString lockFile = lockFileOf(realDevice);
    if (const qint64 owner = goneOwnerOf(lockFile)) {
        return tr("Cannot open %1: its lock file %2 was left behind by a program that no longer "
                  "runs (process %3), and you may not remove it. Remove it with "
                  "\"sudo rm %2\" and try again.")
            .arg(DeviceName::shown(device), lockFile)
            .arg(owner);
    }
    return tr("Cannot open %1: the device is busy; another program is using it. Close that "
              "program and try again.")
        .arg(DeviceName::shown(device));
}

} // namespace

void SerialMessages::gatherDevices()
{
    const std::lock_guard<std::mutex> lock(g_gatheredLock);
    if (!g_gathered.valid()) {
        g_gathered = std::async(std::launch::async, serialDevices);
    }
}

QString SerialMessages::openFailed(const QString &device, const QString &realDevice,
                                   QSerialPort::SerialPortError error, const QString &reason)
{
    const QString shown = DeviceName::shown(device);
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        return missing(device);
    case QSerialPort::PermissionError:
        if (!mayRead(realDevice)) {
            return tr("Cannot open %1: permission denied. Add your user to the \"dialout\" group "
                      "(sudo usermod -aG dialout $USER) and log in again.")
                .arg(shown);
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
    if (!mayRead(realDevice)) {
        return openFailed(device, realDevice, QSerialPort::PermissionError, QString());
    }
    const QString lockFile = lockFileOf(realDevice);
    // A lock left behind is in the way only where it may not be removed.
    const bool stale =
        goneOwnerOf(lockFile) != 0 && !QFileInfo(QFileInfo(lockFile).path()).isWritable();
    if (stale || heldByOther(lockFile)) {
        return busyOrLocked(device, realDevice);
    }
    return {};
}

QString SerialMessages::missing(const QString &device)
{
    return tr("Cannot open %1: the device does not exist. %2")
        .arg(DeviceName::shown(device), devicesHint());
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
        .arg(DeviceName::shown(device))
        .arg(baud)
        .arg(reason);
}

QString SerialMessages::speedReplaced(qint32 baud)
{
    return tr("the device runs at %1 baud instead").arg(baud);
}

QString SerialMessages::rtsFailed(const QString &device, const QString &reason)
{
    return tr("Cannot set the RTS line of %1: %2.").arg(DeviceName::shown(device), reason);
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
