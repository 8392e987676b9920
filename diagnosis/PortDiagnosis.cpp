#include "PortDiagnosis.h"
#include "PortList.h"

#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QSysInfo>
#include <QtConcurrent/QtConcurrentRun>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <mutex>
#include <unistd.h>

namespace adc {

namespace {

using Clock = std::chrono::steady_clock;

/// The list as last gathered and the gathering under way, shared by every port.
struct DeviceCache {
    std::mutex lock;
    std::optional<QFuture<QStringList>> gathering;
    std::optional<QStringList> devices;
    Clock::time_point gatheredAt;
    bool mayWait = false;

    /// Takes the result of a finished gathering, if any; `lock` is held.
    void collect()
    {
        if (gathering && gathering->isFinished()) {
            devices = gathering->result();
            gatheredAt = Clock::now();
            gathering.reset();
        }
    }
    /// `lock` is held.
    void start()
    {
        if (!gathering) {
            gathering = QtConcurrent::run(&PortList::devices);
        }
    }
};

DeviceCache &cache()
{
    static DeviceCache c;
    return c;
}

/// The name of process `pid`, from the system; empty when it does not say.
QString programOf(qint64 pid)
{
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    return comm.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(comm.readLine()).trimmed()
                                          : QString();
}

} // namespace

void PortDiagnosis::refresh()
{
    DeviceCache &c = cache();
    const std::lock_guard<std::mutex> lock(c.lock);
    c.collect();
    c.start();
}

void PortDiagnosis::setMayWait(bool on)
{
    DeviceCache &c = cache();
    const std::lock_guard<std::mutex> lock(c.lock);
    c.mayWait = on;
}

std::optional<QStringList> PortDiagnosis::devices()
{
    DeviceCache &c = cache();
    const std::lock_guard<std::mutex> lock(c.lock);
    if (c.mayWait && !c.devices && c.gathering) {
        c.gathering->waitForFinished();
    }
    c.collect();
    if (!c.devices || Clock::now() - c.gatheredAt > std::chrono::seconds(kRefreshSeconds)) {
        c.start();
    }
    return c.devices;
}

std::optional<PortDiagnosis::LockHolder> PortDiagnosis::lockHolder(const QString &realDevice)
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
        LockHolder holder;
        holder.lockFile = folder + QStringLiteral("/LCK..") + name;
        if (!QFile::exists(holder.lockFile)) {
            continue;
        }
        QString host;
        if (!QLockFile(holder.lockFile).getLockInfo(&holder.pid, &host, &holder.program) ||
            holder.pid <= 0 || (!host.isEmpty() && host != QSysInfo::machineHostName())) {
            holder.pid = 0;
            return holder;
        }
        holder.gone = ::kill(static_cast<pid_t>(holder.pid), 0) != 0 && errno == ESRCH;
        if (holder.program.isEmpty() && !holder.gone) {
            holder.program = programOf(holder.pid);
        }
        return holder;
    }
    return std::nullopt;
}

bool PortDiagnosis::mayRead(const QByteArray &path)
{
    return ::faccessat(AT_FDCWD, path.constData(), R_OK, AT_EACCESS) == 0 || errno != EACCES;
}

} // namespace adc
