#include "Reconnector.h"

namespace adc {

Reconnector::Reconnector(QObject *parent) : QObject(parent)
{
    m_timer.setInterval(kCheckMilliseconds);
    connect(&m_timer, &QTimer::timeout, this, &Reconnector::check);
}

void Reconnector::wait(AcquisitionRun &run)
{
    if (!run.running()) {
        return;
    }
    run.suspend();
    m_run = &run;
    m_timer.start();
    emit waitingStarted();
}

void Reconnector::cancel()
{
    m_timer.stop();
    m_run = nullptr;
}

void Reconnector::check()
{
    if (m_run == nullptr || !m_run->running() || !m_run->suspended()) {
        cancel();
        return;
    }
    // Opening is the test: a device missing at its path costs a failed look-up, and one that is
    // there but not ready yet (a USB adapter still being set up) is tried again next time.
    if (m_run->resume()) {
        cancel();
        ++m_reconnections;
        emit reconnected();
    }
}

} // namespace adc
