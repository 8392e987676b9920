#pragma once

#include "AcquisitionRun.h"

#include <QObject>
#include <QTimer>

namespace adc {

/// Brings a run back when its device returns (--reconnect): the run is suspended when the port
/// is lost, and the device is looked for at the same path a few times a second; once it can be
/// opened again, with the same settings, the run goes on where it was.
///
/// Waiting ends by itself when the run ends (a Start afresh, EXIT) or the device is back.
class Reconnector : public QObject {
    Q_OBJECT

public:
    /// How often the device is looked for while the run waits.
    static constexpr int kCheckMilliseconds = 250;

    explicit Reconnector(QObject *parent = nullptr);

    /// The port of `run` was lost: suspends the run and waits for the device. `run` must stay
    /// until it ends or cancel() is called.
    void wait(AcquisitionRun &run);
    /// Stops waiting; the run is left as it is.
    void cancel();
    /// Whether a run waits for its device.
    bool waiting() const { return m_run != nullptr; }
    /// Times a run has been brought back so far.
    int reconnections() const { return m_reconnections; }

signals:
    /// The run has lost its port and waits.
    void waitingStarted();
    /// The device is back and the run goes on.
    void reconnected();

private:
    void check();

    QTimer m_timer;
    AcquisitionRun *m_run = nullptr;
    int m_reconnections = 0;
};

} // namespace adc
