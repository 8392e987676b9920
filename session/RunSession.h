#pragma once

#include "AcquisitionRun.h"
#include "CsvRecorder.h"
#include "DeviceIdentity.h"
#include "LineSettings.h"
#include "QtSerialControl.h"
#include "RecordFanOut.h"
#include "RunClock.h"
#include "WireLog.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

namespace adc {

/// One run of the board at a time, for every front end: owns the port, the acquisition run and
/// its bounded service turns, the reconnection after a loss (--reconnect), the recording with
/// its flush timer, and tells a display and any number of record observers what arrives.
///
/// The session numbers the runs from 1, going on after the last run of a recording appended to,
/// and every observer gets the run's number, Start and each block's stamp from the run alone.
/// A recording opened during a run gets the run going with its Start: its seconds count from
/// that Start, and when the file already holds a run of the run's number or later, the run takes
/// the number after the file's last from the next block on, for every observer.
///
/// Every line read, in every format, goes to the wire log with what became of it; the log
/// starts afresh with each start(). What the user sends goes to the port while a run is going.
///
/// The run works on at most serviceBudget() characters per turn of the event loop and queues
/// the next turn while more wait. While a lost device is waited for, its path is looked at four
/// times a second; only a character device with the owner, group and USB serial number of the
/// lost one is opened again (waitReason() says why another is not).
class RunSession : public QObject {
    Q_OBJECT

public:
    /// How often a lost device is looked for.
    static constexpr int kReconnectMilliseconds = 250;
    /// How often waiting rows are checked for their flush time.
    static constexpr int kFlushMilliseconds = 250;

    explicit RunSession(QObject *parent = nullptr);
    ~RunSession() override;

    /// Port 1's device; applies at the next opening.
    void setDevice(const QString &device);
    QString device() const { return m_port.port1Device(); }
    /// Applies at the next start().
    void setLineSettings(const LineSettings &settings) { m_lineSettings = settings; }
    const LineSettings &lineSettings() const { return m_lineSettings; }
    /// Whether a run whose device is lost waits for it and goes on, rather than ending.
    void setReconnect(bool on) { m_reconnect = on; }
    /// Whether the messages are for a terminal, which has no Start button to click again.
    void setForTerminal(bool on) { m_forTerminal = on; }
    /// Characters worked on per turn of the event loop at most.
    void setServiceBudget(std::size_t characters) { m_serviceBudget = characters; }
    /// What the runs draw on from the next start(); nullptr for none.
    void setDisplay(Display *display) { m_display = display; }
    /// Where the runs read the time (the system's clocks unless set); must outlive the session.
    void setClock(const RunClock &clock) { m_clock = &clock; }
    /// Tells `observer` (not owned) of every Start and accepted record from now on; during a
    /// run, it is told the run's Start at once.
    void addObserver(RecordObserver *observer);
    void removeObserver(RecordObserver *observer) { m_observers.remove(observer); }

    /// How many values each CSV line carries from the next start() (1 .. kMaxTextChannels), or
    /// 0 to take the count from the first line of numbers.
    void setChannelCount(int channels) { m_channelCount = channels; }
    int channelCount() const { return m_channelCount; }

    /// Ends the run going, if any, and starts one in `mode` (a board mode, or the mode of another
    /// board's format). Returns false when the port cannot be opened; ended() has told why.
    bool start(Mode mode);
    /// Ends the run going without a message, and closes the port.
    void stop();
    /// The run going or last ended, if any.
    const AcquisitionRun *run() const { return m_run.get(); }
    AcquisitionRun *run() { return m_run.get(); }
    QtSerialControl &port() { return m_port; }
    const QtSerialControl &port() const { return m_port; }

    /// The last lines read, each with what became of it.
    const WireLog &wireLog() const { return m_wire; }
    /// Keeps the wire log as it is (true) while its lines are only counted, or keeps lines again.
    void pauseWire(bool paused);

    /// Writes `bytes` to the port while a run is going and its port is open. Returns false
    /// otherwise, or when the port refuses them; sendError() then says why.
    bool send(std::string_view bytes);
    QString sendError() const { return m_sendError; }

    /// Whether the run waits for its lost device.
    bool waiting() const { return m_reconnectTimer.isActive(); }
    /// Times a run has been brought back so far.
    int reconnections() const { return m_reconnections; }
    /// Why the device now at the path is not opened, while waiting; empty otherwise.
    QString waitReason() const { return m_waitReason; }

    /// Records every accepted record to `path` (a file name as DeviceName keeps it; "-":
    /// standard output) from now on; a run going is recorded from now on, its seconds from its
    /// Start. Returns false with recordingError() saying why.
    bool startRecording(const QString &path, bool append);
    /// Records to `recorder`, which is open.
    void startRecording(std::unique_ptr<CsvRecorder> recorder);
    /// Hands every waiting row to the file and closes it.
    void stopRecording();
    /// Closes the recording at the program's end: a file it created that holds no rows is
    /// removed, and recordingNotice() says so.
    void finishRecording();
    /// What the recording found worth telling (a partial row it went on after, a file it
    /// removed); empty when nothing.
    QString recordingNotice() const;
    /// Closes the recording as if it had not been started, for a start that fails before its
    /// first row: a file it created is removed, one it appended to is left as it was.
    void discardRecording();
    /// The recording, open or last closed; nullptr before the first.
    const CsvRecorder *recorder() const { return m_recorder.get(); }
    std::int64_t rowsWritten() const { return m_recorder ? m_recorder->rowsWritten() : 0; }
    QString recordingError() const { return m_recordingError; }
    /// Hands rows to the file after every turn (rows shown live on a terminal).
    void setFlushEveryTurn(bool on) { m_flushEveryTurn = on; }

signals:
    void started(adc::Mode mode);
    /// The run lost its device and waits for it.
    void waitingForDevice(const QString &device);
    /// waitReason() has changed.
    void waitReasonChanged(const QString &reason);
    /// The device is back and the run goes on.
    void resumed();
    /// The run has ended; `message` says why, empty when it was stopped.
    void ended(const QString &message);
    /// A write to the recording failed, which stopped it; told once.
    void recordingFailed(const QString &message);
    /// The run's channels have been named (again): in a board mode after started(), for other
    /// boards whenever their lines name them anew.
    void channelsNamed(const QStringList &names);

private:
    void serviceRun();
    void portFailed(const QString &message);
    void lookForDevice();
    void stopWaiting();
    void setWaitReason(const QString &reason);
    void checkRecording();
    void noteIdentity();
    std::int64_t nextRunNumber() const;

    QtSerialControl m_port;
    std::unique_ptr<AcquisitionRun> m_run;
    RecordFanOut m_observers;
    /// The observer that emits channelsNamed().
    class NameSignal;
    std::unique_ptr<NameSignal> m_nameSignal;
    WireLog m_wire;
    QString m_sendError;
    int m_channelCount = 0;
    Display *m_display = nullptr;
    const RunClock *m_clock = &RunClock::system();
    /// The number of the last run started.
    std::int64_t m_lastRun = 0;
    LineSettings m_lineSettings;
    std::size_t m_serviceBudget = AcquisitionRun::kDefaultBudget;
    bool m_reconnect = false;
    bool m_forTerminal = false;
    bool m_serviceQueued = false;

    QTimer m_reconnectTimer;
    DeviceIdentity m_identity;
    QString m_waitReason;
    int m_reconnections = 0;

    std::unique_ptr<CsvRecorder> m_recorder;
    QTimer m_flushTimer;
    QString m_recordingError;
    bool m_flushEveryTurn = false;
    bool m_recordingFailureTold = false;
};

} // namespace adc
