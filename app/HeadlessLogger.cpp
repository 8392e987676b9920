#include "HeadlessLogger.h"
#include "DeviceName.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace adc {

namespace {

constexpr int kStatusMs = 1000;

} // namespace

HeadlessLogger::HeadlessLogger(RunSession &session, const StartSettings &settings,
                               SessionStart &start, QObject *parent)
    : QObject(parent), m_session(session), m_settings(settings), m_start(start)
{
    m_statusTimer.setInterval(kStatusMs);
    connect(&m_statusTimer, &QTimer::timeout, this, &HeadlessLogger::showStatus);
}

HeadlessLogger::~HeadlessLogger() = default;

int HeadlessLogger::exec()
{
    // A reader of standard output that goes away ends the logging through the failed write,
    // not the program at once.
    std::signal(SIGPIPE, SIG_IGN);
    m_exitSignals = std::make_unique<ExitSignals>();
    connect(m_exitSignals.get(), &ExitSignals::received, this, [this] { finish(0); });
    // Rows shown live on a terminal leave no room for a status line there.
    const bool liveOutput =
        m_settings.recordPath == QLatin1String("-") && ::isatty(STDOUT_FILENO) == 1;
    m_session.setFlushEveryTurn(liveOutput);
    m_statusLine = ::isatty(STDERR_FILENO) == 1 && !liveOutput;
    m_session.setForTerminal(true);
    follow();
    m_clock.start();
    if (!m_session.start(m_settings.runMode())) {
        return m_status;
    }
    m_started = true;
    startTimers();
    return QCoreApplication::exec();
}

void HeadlessLogger::follow()
{
    m_session.addObserver(this);
    connect(&m_start, &SessionStart::simulatedBoardMoved, &m_session, &RunSession::setDevice);
    connect(&m_session, &RunSession::ended, this, &HeadlessLogger::runEnded);
    connect(&m_session, &RunSession::recordingFailed, this,
            [this] { finish(m_session.recorder()->outputClosed() ? 0 : 1); });
    connect(&m_session, &RunSession::waitingForDevice, this, [this] { tellReconnection(false); });
    connect(&m_session, &RunSession::resumed, this, [this] { tellReconnection(true); });
    if (Publishing *publishing = m_start.publishing()) {
        connect(publishing, &Publishing::failed, this, [this](const QString &message) {
            std::fprintf(stderr, "%sadconverter: %s\n", m_statusLine ? "\r\033[K" : "",
                         qPrintable(message));
            std::fflush(stderr);
        });
    }
}

void HeadlessLogger::startTimers()
{
    if (m_statusLine) {
        m_statusTimer.start();
    }
    if (m_settings.durationSeconds > 0) {
        const auto ns = std::llround(m_settings.durationSeconds * 1e9);
        m_deadline = QDeadlineTimer(std::chrono::nanoseconds(ns), Qt::PreciseTimer);
        awaitDeadline();
    }
}

void HeadlessLogger::awaitDeadline()
{
    if (m_deadline.hasExpired()) {
        finish(0);
        return;
    }
    // A timer waits at most a day at a time: its interval is an int of milliseconds.
    constexpr qint64 kLongestWaitMs = 24 * 60 * 60 * 1000;
    const qint64 ms = std::clamp<qint64>(m_deadline.remainingTime(), 1, kLongestWaitMs);
    QTimer::singleShot(std::chrono::milliseconds(ms), Qt::PreciseTimer, this,
                       &HeadlessLogger::awaitDeadline);
}

void HeadlessLogger::runEnded(const QString &message)
{
    // The port could not be opened or was lost: the same message the window gives.
    if (!message.isEmpty()) {
        m_failure = message.toStdString();
        finish(1);
    }
}

void HeadlessLogger::recordAccepted(const AcceptedRecord &record)
{
    if (record.count == m_settings.countLimit) {
        // Not one record more: the run stops in the middle of its turn, and the logger ends
        // once the turn is over.
        m_session.stop();
        QMetaObject::invokeMethod(
            this, [this] { finish(0); }, Qt::QueuedConnection);
    }
}

void HeadlessLogger::charactersDone()
{
    if (!m_settings.showDropped) {
        return;
    }
    std::string text;
    m_dropReport.collect(m_session.wireLog(), std::chrono::steady_clock::now(), text);
    tellDropped(text);
}

void HeadlessLogger::tellDropped(const std::string &text)
{
    if (text.empty()) {
        return;
    }
    std::string lines;
    // Every line goes out as one: the line's own text is the board's, never a format.
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = text.find('\n', at);
        lines += (m_statusLine ? "\r\033[Kadconverter: " : "adconverter: ") +
                 text.substr(at, end - at + 1);
        at = end + 1;
    }
    std::fputs(lines.c_str(), stderr);
    std::fflush(stderr);
}

void HeadlessLogger::showStatus()
{
    const qint64 now = m_clock.elapsed();
    const AcquisitionRun &run = *m_session.run();
    const qint64 count = run.count();
    const double rate = now > m_lastStatusMs
                            ? static_cast<double>(count - m_lastStatusCount) * 1000.0 /
                                  static_cast<double>(now - m_lastStatusMs)
                            : 0.0;
    m_lastStatusCount = count;
    m_lastStatusMs = now;
    // The device's name is the user's: it goes around the figures, not through them.
    QString text =
        DeviceName::shown(m_session.device()) + QStringLiteral(": %1 records, %2 per second, %3")
                                                    .arg(count)
                                                    .arg(rate, 0, 'f', 0)
                                                    .arg(lineCounts());
    if (m_session.recorder() != nullptr) {
        text += QStringLiteral(", %1 rows written").arg(m_session.rowsWritten());
    }
    if (const Publishing *publishing = m_start.publishing()) {
        text += publishing->countsText();
    }
    std::fprintf(stderr, "\r%s%s\033[K", qPrintable(text), qPrintable(lineState()));
    std::fflush(stderr);
}

QString HeadlessLogger::lineState()
{
    const AcquisitionRun &run = *m_session.run();
    const QString device = DeviceName::shown(m_session.device());
    if (run.suspended()) {
        const QString reason = m_session.waitReason();
        return QStringLiteral("; waiting for ") + device + QStringLiteral(" to come back") +
               (reason.isEmpty() ? QString() : QStringLiteral(" (") + reason + QLatin1Char(')'));
    }
    QString state;
    if (const int times = m_session.reconnections(); times > 0) {
        state = times == 1 ? QStringLiteral("; reconnected once")
                           : QStringLiteral("; reconnected %1 times").arg(times);
    }
    // The same hint as the window's tooltip, when nothing has been taken for a few seconds.
    const std::string_view hint = run.line().hintText(run.lineNow().hint);
    if (!hint.empty()) {
        state += QStringLiteral("; ") +
                 QString::fromUtf8(hint.data(), static_cast<qsizetype>(hint.size()));
    }
    return state;
}

void HeadlessLogger::tellReconnection(bool back)
{
    if (m_statusLine) {
        showStatus();
        return;
    }
    const QString text = QStringLiteral("adconverter: ") + DeviceName::shown(m_session.device()) +
                         (back ? QStringLiteral(" is back; the run goes on.\n")
                               : QStringLiteral(" was lost; waiting for it to come back.\n"));
    std::fputs(qPrintable(text), stderr);
    std::fflush(stderr);
}

QString HeadlessLogger::lineCounts() const
{
    // As in the window's tooltip: the other mode's records are told apart, not as drops.
    const AcquisitionRun *run = m_session.run();
    QString text =
        QStringLiteral("%1 lines dropped").arg(run != nullptr ? run->droppedRecords() : 0);
    if (run != nullptr) {
        if (const std::string other = run->line().otherModeText(); !other.empty()) {
            text += QStringLiteral(", ") + QString::fromStdString(other);
        }
    }
    return text;
}

QString HeadlessLogger::summary() const
{
    const double seconds = static_cast<double>(m_clock.elapsed()) / 1000.0;
    const AcquisitionRun *run = m_session.run();
    const qint64 count = run != nullptr ? run->count() : 0;
    QString text = QStringLiteral("adconverter: %1 records in %2 s (%3 per second), %4")
                       .arg(count)
                       .arg(seconds, 0, 'f', 1)
                       .arg(seconds > 0 ? static_cast<double>(count) / seconds : 0.0, 0, 'f', 0)
                       .arg(lineCounts());
    if (m_session.recorder() == nullptr) {
        text += QStringLiteral(", nothing recorded");
    } else {
        const QString where = m_settings.recordPath == QLatin1String("-")
                                  ? QStringLiteral("standard output")
                                  : DeviceName::shown(m_settings.recordPath);
        text += QStringLiteral(", %1 rows written to ").arg(m_session.rowsWritten()) + where;
    }
    if (const Publishing *publishing = m_start.publishing()) {
        text += publishing->summaryText();
    }
    return text + QLatin1Char('.');
}

void HeadlessLogger::finish(int status)
{
    if (m_finished) {
        return;
    }
    m_finished = true;
    m_statusTimer.stop();
    m_session.stop();
    if (m_settings.showDropped) {
        std::string rest;
        m_dropReport.collect(m_session.wireLog(), std::chrono::steady_clock::now(), rest);
        m_dropReport.finish(rest);
        tellDropped(rest);
    }
    if (m_started) {
        m_session.finishRecording();
    } else {
        // A start that fails leaves no recording behind.
        m_session.discardRecording();
    }
    m_start.stop();
    if (const CsvRecorder *recorder = m_session.recorder();
        recorder != nullptr && recorder->failed() && !recorder->outputClosed()) {
        m_failure = recorder->errorText();
        status = 1;
    }
    if (m_statusLine) {
        std::fputs("\r\033[K", stderr);
    }
    if (!m_failure.empty()) {
        std::fprintf(stderr, "adconverter: %s\n", m_failure.c_str());
    }
    if (m_started) {
        std::fprintf(stderr, "%s\n", qPrintable(summary()));
    }
    if (const QString notice = m_session.recordingNotice(); m_started && !notice.isEmpty()) {
        std::fprintf(stderr, "adconverter: %s\n", qPrintable(notice));
    }
    m_status = status;
    QCoreApplication::exit(status);
}

} // namespace adc
