#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

namespace adc::test {

/// Watches the program's health from inside its event loop: a 10 ms timer notes the longest
/// wait between two of its ticks, and samples the process's resident memory on every tick.
///
/// A window that freezes shows as a long wait; a buffer that grows with the input shows as
/// resident memory that climbs.
class LivenessProbe : public QObject {
    Q_OBJECT

public:
    static constexpr int kIntervalMs = 10;

    /// Starts ticking and takes the current memory as the baseline.
    explicit LivenessProbe(QObject *parent = nullptr);

    /// Forgets what was seen so far: the longest wait, the ticks and the memory baseline.
    void rebase();

    /// Longest time between two ticks since the last rebase, counting the time since the last
    /// tick as well, in milliseconds.
    qint64 worstGapMs() const;
    /// Ticks since the last rebase.
    int ticks() const { return m_ticks; }
    /// Resident memory at the last rebase, and its highest sample since, in KiB.
    qint64 baselineKiB() const { return m_baselineKiB; }
    qint64 peakKiB() const { return m_peakKiB; }
    /// How far resident memory rose above the baseline, in KiB.
    qint64 growthKiB() const { return m_peakKiB - m_baselineKiB; }

    /// The process's resident memory now (VmRSS), in KiB; -1 when it cannot be read.
    static qint64 residentKiB();

private:
    void tick();

    QTimer m_timer;
    QElapsedTimer m_sinceTick;
    qint64 m_worstGapMs = 0;
    qint64 m_baselineKiB = 0;
    qint64 m_peakKiB = 0;
    int m_ticks = 0;
};

} // namespace adc::test
