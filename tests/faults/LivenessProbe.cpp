#include "LivenessProbe.h"

#include <QFile>

#include <algorithm>

namespace adc::test {

LivenessProbe::LivenessProbe(QObject *parent) : QObject(parent)
{
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(kIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &LivenessProbe::tick);
    rebase();
    m_timer.start();
}

void LivenessProbe::rebase()
{
    m_worstGapMs = 0;
    m_ticks = 0;
    m_baselineKiB = residentKiB();
    m_peakKiB = m_baselineKiB;
    m_sinceTick.start();
}

qint64 LivenessProbe::worstGapMs() const
{
    return std::max(m_worstGapMs, m_sinceTick.elapsed());
}

void LivenessProbe::tick()
{
    m_worstGapMs = std::max(m_worstGapMs, m_sinceTick.restart());
    ++m_ticks;
    m_peakKiB = std::max(m_peakKiB, residentKiB());
}

qint64 LivenessProbe::residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return -1;
    }
    // A file under /proc reports no size, so it is read whole rather than up to its "end".
    const QList<QByteArray> lines = status.readAll().split('\n');
    for (const QByteArray &line : lines) {
        if (line.startsWith("VmRSS:")) {
            // "VmRSS:     12345 kB"
            const QList<QByteArray> parts = line.simplified().split(' ');
            return parts.size() >= 2 ? parts[1].toLongLong() : -1;
        }
    }
    return -1;
}

} // namespace adc::test
