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

// How often waiting rows are checked for their flush time while the line is quiet.
constexpr int kFlushTickMs = 250;
constexpr int kStatusMs = 1000;

} // namespace

HeadlessLogger::HeadlessLogger(const CommandLine &commandLine, QObject *parent)
    : QObject(parent), m_commandLine(commandLine)
{
    m_flushTimer.setInterval(kFlushTickMs);
    connect(&m_flushTimer, &QTimer::timeout, this, &HeadlessLogger::tick);
    m_statusTimer.setInterval(kStatusMs);
    connect(&m_statusTimer, &QTimer::timeout, this, &HeadlessLogger::showStatus);
}

HeadlessLogger::~HeadlessLogger()
{
    if (m_run) {
        m_run->stop();
    }
    m_recorder.close();
}

int HeadlessLogger::exec()
{
    // A reader of standard output that goes away ends the logging through the failed write,
    // not the program at once.
    std::signal(SIGPIPE, SIG_IGN);
    m_exitSignals = std::make_unique<ExitSignals>();
    connect(m_exitSignals.get(), &ExitSignals::received, this, [this] { finish(0); });

    const QString path = m_commandLine.recordPath();
    m_recording = !path.isEmpty();
    if (m_recording && !m_recorder.open(path.toStdString(), m_commandLine.append())) {
        std::fprintf(stderr, "adconverter: %s\n", m_recorder.errorText().c_str());
        return 2;
    }
    // Rows shown live on a terminal leave no room for a status line there.
    m_liveOutput = path == QLatin1String("-") && ::isatty(STDOUT_FILENO) == 1;
    m_statusLine = ::isatty(STDERR_FILENO) == 1 && !m_liveOutput;

    m_demoBoard.setBaud(m_commandLine.baud());
    const QString device =
        m_demoBoard.port1DeviceFor(m_commandLine.demo(), m_commandLine.port1Device());
    if (device.isEmpty()) {
        return 1;
    }
    if (!startPublishing(device)) {
        return 2;
    }
    m_port = std::make_unique<QtSerialControl>(device);
    connect(&m_demoBoard, &DemoBoard::restarted, m_port.get(), &QtSerialControl::setPort1Device);
    m_run = std::make_unique<AcquisitionRun>(m_commandLine.mode(), *m_port,
                                             static_cast<Display &>(*this));
    m_run->setObserver(this);
    m_run->setBaud(m_commandLine.baud());
    connect(m_port.get(), &QtSerialControl::dataWaiting, this, &HeadlessLogger::serviceRun);
    connect(m_port.get(), &QtSerialControl::failed, this, &HeadlessLogger::portFailed);
    connect(&m_reconnector, &Reconnector::waitingStarted, this,
            [this] { tellReconnection(false); });
    connect(&m_reconnector, &Reconnector::reconnected, this, [this] { tellReconnection(true); });
    m_clock.start();
    if (!m_run->start()) {
        return m_status;
    }
    m_started = true;
    startTimers();
    return QCoreApplication::exec();
}

bool HeadlessLogger::startPublishing(const QString &device)
{
    if (!m_commandLine.publishTarget()) {
        return true;
    }
    QString error;
    m_publishing = Publishing::create(m_commandLine, device, error);
    if (!m_publishing || !m_publishing->start(error)) {
        std::fprintf(stderr, "adconverter: %s\n", qPrintable(error));
        return false;
    }
    m_publisher = &m_publishing->publisher();
    connect(m_publishing.get(), &Publishing::failed, this, [this](const QString &message) {
        std::fprintf(stderr, "%sadconverter: %s\n", m_statusLine ? "\r\033[K" : "",
                     qPrintable(message));
        std::fflush(stderr);
    });
    return true;
}

void HeadlessLogger::startTimers()
{
    m_flushTimer.start();
    if (m_statusLine) {
        m_statusTimer.start();
    }
    if (m_commandLine.durationSeconds() > 0) {
        const auto ns = std::llround(m_commandLine.durationSeconds() * 1e9);
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

void HeadlessLogger::runEnded(std::string_view message)
{
    // The port could not be opened or was lost: the same message the window gives.
    m_failure = std::string(message);
    finish(1);
}

void HeadlessLogger::runStarted(Mode mode)
{
    if (m_recording) {
        m_recorder.runStarted(mode);
    }
    if (m_publisher != nullptr) {
        m_publisher->runStarted(mode);
    }
}

void HeadlessLogger::charactersTaken()
{
    if (m_recording) {
        m_recorder.charactersTaken();
    }
    if (m_publisher != nullptr) {
        m_publisher->charactersTaken();
    }
}

void HeadlessLogger::charactersDone()
{
    if (m_publisher != nullptr) {
        m_publisher->charactersDone();
    }
}

void HeadlessLogger::recordAccepted(const AcceptedRecord &record)
{
    if (m_recording) {
        m_recorder.recordAccepted(record);
    }
    if (m_publisher != nullptr) {
        m_publisher->recordAccepted(record);
    }
    if (record.count == m_commandLine.countLimit()) {
        // Not one record more: the run stops in the middle of its turn.
        m_run->stop();
    }
}

void HeadlessLogger::serviceRun()
{
    m_serviceQueued = false;
    if (m_finished || !m_run->running()) {
        return;
    }
    if (m_run->service() && m_run->running() && !m_serviceQueued) {
        m_serviceQueued = true;
        QMetaObject::invokeMethod(this, &HeadlessLogger::serviceRun, Qt::QueuedConnection);
    }
    if (m_liveOutput) {
        m_recorder.flush();
    }
    tick();
}

void HeadlessLogger::tick()
{
    if (m_finished) {
        return;
    }
    m_recorder.flushIfDue(CsvRecorder::MonotonicClock::now());
    if (m_recording && m_recorder.failed()) {
        finish(m_recorder.outputClosed() ? 0 : 1);
    } else if (m_commandLine.countLimit() > 0 && m_run->count() >= m_commandLine.countLimit()) {
        finish(0);
    }
}

void HeadlessLogger::showStatus()
{
    const qint64 now = m_clock.elapsed();
    const qint64 count = m_run->count();
    const double rate = now > m_lastStatusMs
                            ? static_cast<double>(count - m_lastStatusCount) * 1000.0 /
                                  static_cast<double>(now - m_lastStatusMs)
                            : 0.0;
    m_lastStatusCount = count;
    m_lastStatusMs = now;
    std::fprintf(
        stderr, "\r%lld records, %.0f per second, %lld lines dropped, %lld rows written%s%s\033[K",
        static_cast<long long>(count), rate, static_cast<long long>(m_run->droppedRecords()),
        static_cast<long long>(m_recorder.rowsWritten()),
        m_publishing ? qPrintable(m_publishing->countsText()) : "", qPrintable(lineState()));
    std::fflush(stderr);
}

QString HeadlessLogger::lineState()
{
    const QString device = DeviceName::shown(m_port->port1Device());
    if (m_run->suspended()) {
        return QStringLiteral("; waiting for %1 to come back").arg(device);
    }
    QString state;
    if (const int times = m_reconnector.reconnections(); times > 0) {
        state = times == 1 ? QStringLiteral("; reconnected once")
                           : QStringLiteral("; reconnected %1 times").arg(times);
    }
    // The same hint as the window's tooltip, when nothing has been taken for a few seconds.
    m_run->line().update(LineMonitor::Clock::now());
    const std::string_view hint = m_run->line().hintText();
    if (!hint.empty()) {
        state += QStringLiteral("; ") +
                 QString::fromUtf8(hint.data(), static_cast<qsizetype>(hint.size()));
    }
    return state;
}

void HeadlessLogger::portFailed(const QString &message)
{
    if (!m_run->running()) {
        return;
    }
    if (m_commandLine.reconnect()) {
        m_reconnector.wait(*m_run);
    } else {
        m_run->fail(message.toStdString());
    }
}

void HeadlessLogger::tellReconnection(bool back)
{
    if (m_statusLine) {
        showStatus();
        return;
    }
    const QString device = DeviceName::shown(m_port->port1Device());
    const QString text = back ? QStringLiteral("adconverter: %1 is back; the run goes on.\n")
                              : QStringLiteral("adconverter: %1 was lost; waiting for it to "
                                               "come back.\n");
    std::fputs(qPrintable(text.arg(device)), stderr);
    std::fflush(stderr);
}

QString HeadlessLogger::summary() const
{
    const double seconds = static_cast<double>(m_clock.elapsed()) / 1000.0;
    const qint64 count = m_run ? m_run->count() : 0;
    QString text =
        QStringLiteral("adconverter: %1 records in %2 s (%3 per second), %4 lines dropped")
            .arg(count)
            .arg(seconds, 0, 'f', 1)
            .arg(seconds > 0 ? static_cast<double>(count) / seconds : 0.0, 0, 'f', 0)
            .arg(m_run ? m_run->droppedRecords() : 0);
    if (!m_recording) {
        text += QStringLiteral(", nothing recorded");
    } else {
        const QString where = m_commandLine.recordPath() == QLatin1String("-")
                                  ? QStringLiteral("standard output")
                                  : m_commandLine.recordPath();
        text += QStringLiteral(", %1 rows written to %2").arg(m_recorder.rowsWritten()).arg(where);
    }
    if (m_publishing) {
        const MqttPublisher &publisher = m_publishing->publisher();
        text += QStringLiteral("; %1 records published to %2, %3 not published")
                    .arg(publisher.published())
                    .arg(m_publishing->target())
                    .arg(publisher.dropped());
    }
    return text + QLatin1Char('.');
}

void HeadlessLogger::finish(int status)
{
    if (m_finished) {
        return;
    }
    m_finished = true;
    m_reconnector.cancel();
    m_flushTimer.stop();
    m_statusTimer.stop();
    if (m_run) {
        m_run->stop();
    }
    m_recorder.close();
    if (m_publishing) {
        m_publishing->stop();
    }
    if (m_recording && m_recorder.failed() && !m_recorder.outputClosed()) {
        m_failure = m_recorder.errorText();
        status = 1;
    }
    if (m_statusLine) {
        std::fputs("\r\033[K", stderr);
    }
    m_demoBoard.stop();
    if (!m_failure.empty()) {
        std::fprintf(stderr, "adconverter: %s\n", m_failure.c_str());
    }
    if (m_started) {
        std::fprintf(stderr, "%s\n", qPrintable(summary()));
    }
    m_status = status;
    QCoreApplication::exit(status);
}

} // namespace adc
