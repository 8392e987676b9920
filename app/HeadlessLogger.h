#pragma once

#include "DropReport.h"
#include "ExitSignals.h"
#include "RecordObserver.h"
#include "RunSession.h"
#include "SessionStart.h"
#include "StartSettings.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <memory>
#include <string>

namespace adc {

/// `adconverter --headless`: the acquisition run of one mode with no window, for a machine
/// without a desktop, on a session its start has prepared. Every accepted record goes to the
/// CSV recording, if one is asked for ("-": standard output). The logger ends after --count records
/// or --duration seconds, on SIGINT, SIGTERM or SIGHUP (status 0, the file complete and the port
/// closed), when the reader of standard output goes away (status 0), or when the port cannot be
/// opened or is lost, or a write fails (status 1, with the reason on standard error).
///
/// With --reconnect a lost port does not end the logger: the run waits for the device to come
/// back at the same path and goes on, its count and recording with it.
///
/// On a terminal, standard error shows a status line refreshed once a second, with the likely
/// cause of a quiet line or the wait for a lost device; at the end a one-line summary follows.
/// Elsewhere the loss and the return of the device are told on a line each. With --publish,
/// every record also goes to the MQTT broker; the status line and the summary count the records
/// published and those left out, and a broker that refuses the password or is not trusted is
/// told on a line of its own while the logging goes on. With --show-dropped, each dropped line
/// and its reason go to standard error, at most ten a second (DropReport). Needs a QCoreApplication
/// only: no window system is touched.
class HeadlessLogger : public QObject, private RecordObserver {
    Q_OBJECT

public:
    /// Logs `session` in `settings`' mode, prepared and begun by `start`.
    HeadlessLogger(RunSession &session, const StartSettings &settings, SessionStart &start,
                   QObject *parent = nullptr);
    ~HeadlessLogger() override;

    /// Opens the port and logs until the end; returns the exit status.
    int exec();

private:
    // RecordObserver: the --count limit and --show-dropped.
    void runStarted(const RunStart &) override {}
    void recordAccepted(const AcceptedRecord &record) override;
    void charactersDone() override;
    /// Puts the text of DropReport on standard error, above the status line.
    void tellDropped(const std::string &text);

    void follow();
    void startTimers();
    void runEnded(const QString &message);
    /// Ends the logging once --duration has passed, or waits on.
    void awaitDeadline();
    void showStatus();
    /// Tells on standard error that the device is lost (`back` false) or back.
    void tellReconnection(bool back);
    /// What the status line says after the counts: the wait, the reconnections and the hint.
    QString lineState();
    void finish(int status);
    /// "3 lines dropped, 608 MCP records, not this mode": the figures of the window's tooltip.
    QString lineCounts() const;
    QString summary() const;

    RunSession &m_session;
    const StartSettings m_settings;
    SessionStart &m_start;
    std::unique_ptr<ExitSignals> m_exitSignals;
    QTimer m_statusTimer;
    QElapsedTimer m_clock;
    QDeadlineTimer m_deadline;
    std::string m_failure;
    DropReport m_dropReport;
    qint64 m_lastStatusCount = 0;
    qint64 m_lastStatusMs = 0;
    int m_status = 0;
    bool m_started = false;
    bool m_statusLine = false;
    bool m_finished = false;
};

} // namespace adc
