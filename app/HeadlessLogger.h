#pragma once

#include "AcquisitionRun.h"
#include "CommandLine.h"
#include "CsvRecorder.h"
#include "DemoBoard.h"
#include "Display.h"
#include "ExitSignals.h"
#include "Publishing.h"
#include "QtSerialControl.h"
#include "Reconnector.h"
#include "RecordObserver.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <memory>
#include <string>

namespace adc {

/// `adconverter --headless`: the acquisition run of one mode with no window, for a machine
/// without a desktop. Every accepted record goes to the CSV recording, if one is asked for
/// ("-": standard output). The logger ends after --count records or --duration seconds, on
/// SIGINT, SIGTERM or SIGHUP (status 0, the file complete and the port closed), when the reader
/// of standard output goes away (status 0), or when the port cannot be opened or is lost, or a
/// write fails (status 1, with the reason on standard error).
///
/// With --reconnect a lost port does not end the logger: the run waits for the device to come
/// back at the same path and goes on, its count and recording with it.
///
/// On a terminal, standard error shows a status line refreshed once a second, with the likely
/// cause of a quiet line or the wait for a lost device; at the end a one-line summary follows.
/// Elsewhere the loss and the return of the device are told on a line each. With --publish,
/// every record also goes to the MQTT broker; the status line and the summary count the records
/// published and those left out, and a broker that refuses the password or is not trusted is
/// told on a line of its own while the logging goes on. Needs a
/// QCoreApplication only: no window system is touched.
class HeadlessLogger : public QObject, private Display, private RecordObserver {
    Q_OBJECT

public:
    explicit HeadlessLogger(const CommandLine &commandLine, QObject *parent = nullptr);
    ~HeadlessLogger() override;

    /// Opens the recording and the port and logs until the end; returns the exit status.
    int exec();

private:
    // Display: only the end of the run matters here.
    void showValueText(int, std::string_view) override {}
    void showCount(std::string_view) override {}
    void markRunning() override {}
    void drawSegment(const Segment &) override {}
    void runEnded(std::string_view message) override;
    // RecordObserver: rows for the recording, and the --count limit.
    void runStarted(Mode mode) override;
    void charactersTaken() override;
    void recordAccepted(const AcceptedRecord &record) override;
    void charactersDone() override;

    /// Starts --publish, if given, for `device`; false when its settings are refused.
    bool startPublishing(const QString &device);
    bool openSource(QString &device);
    void startTimers();
    /// Ends the logging once --duration has passed, or waits on.
    void awaitDeadline();
    void serviceRun();
    void tick();
    void showStatus();
    void portFailed(const QString &message);
    /// Tells on standard error that the device is lost (`back` false) or back.
    void tellReconnection(bool back);
    /// What the status line says after the counts: the wait, the reconnections and the hint.
    QString lineState();
    void finish(int status);
    QString summary() const;

    CommandLine m_commandLine;
    CsvRecorder m_recorder;
    DemoBoard m_demoBoard;
    std::unique_ptr<QtSerialControl> m_port;
    std::unique_ptr<AcquisitionRun> m_run;
    std::unique_ptr<ExitSignals> m_exitSignals;
    std::unique_ptr<Publishing> m_publishing;
    /// The publisher of m_publishing, told of every record after the recorder.
    MqttPublisher *m_publisher = nullptr;
    Reconnector m_reconnector;
    QTimer m_flushTimer;
    QTimer m_statusTimer;
    QElapsedTimer m_clock;
    QDeadlineTimer m_deadline;
    std::string m_failure;
    qint64 m_lastStatusCount = 0;
    qint64 m_lastStatusMs = 0;
    int m_status = 0;
    bool m_started = false;
    bool m_recording = false;
    bool m_liveOutput = false;
    bool m_statusLine = false;
    bool m_serviceQueued = false;
    bool m_finished = false;
};

} // namespace adc
