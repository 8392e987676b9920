#include "RunSession.h"

#include "DeviceName.h"
#include "SerialMessages.h"

#include <QMetaObject>

#include <algorithm>

namespace adc {

namespace {

/// What a run draws on when the front end shows nothing of it.
class NoDisplay final : public Display {
public:
    void showValueText(int, std::string_view) override {}
    void showCount(std::string_view) override {}
    void markRunning() override {}
    void drawStep(const Step &) override {}
    void runEnded(std::string_view) override {}
};

NoDisplay g_noDisplay;

} // namespace

class RunSession::NameSignal final : public RecordObserver {
public:
    explicit NameSignal(RunSession &session) : m_session(session) {}
    void runStarted(const RunStart &) override {}
    void channelsNamed(std::span<const std::string> names) override
    {
        QStringList list;
        list.reserve(static_cast<qsizetype>(names.size()));
        for (const std::string &name : names) {
            list.append(QString::fromStdString(name));
        }
        emit m_session.channelsNamed(list);
    }
    void recordAccepted(const AcceptedRecord &) override {}

private:
    RunSession &m_session;
};

RunSession::RunSession(QObject *parent)
    : QObject(parent), m_nameSignal(std::make_unique<NameSignal>(*this))
{
    m_observers.add(m_nameSignal.get());
    connect(&m_port, &QtSerialControl::dataWaiting, this, &RunSession::serviceRun);
    connect(&m_port, &QtSerialControl::failed, this, &RunSession::portFailed);
    m_reconnectTimer.setInterval(kReconnectMilliseconds);
    connect(&m_reconnectTimer, &QTimer::timeout, this, &RunSession::lookForDevice);
    m_flushTimer.setInterval(kFlushMilliseconds);
    connect(&m_flushTimer, &QTimer::timeout, this, &RunSession::checkRecording);
}

RunSession::~RunSession()
{
    m_reconnectTimer.stop();
    if (m_run) {
        m_run->stop();
    }
    stopRecording();
}

void RunSession::setDevice(const QString &device)
{
    m_port.setPort1Device(device);
}

bool RunSession::start(Mode mode)
{
    stopWaiting();
    if (m_run) {
        m_run->stop();
    }
    m_run = std::make_unique<AcquisitionRun>(mode, m_port,
                                             m_display != nullptr ? *m_display : g_noDisplay);
    m_run->setLineSettings(m_lineSettings);
    m_run->setClock(*m_clock);
    m_run->setObserver(&m_observers);
    m_run->setChannelCount(m_channelCount);
    m_wire.clear();
    m_run->setWireLog(&m_wire);
    m_lastRun = nextRunNumber();
    if (!m_run->start(m_lastRun)) {
        emit ended(QString::fromStdString(m_port.errorText()));
        return false;
    }
    noteIdentity();
    emit started(mode);
    return true;
}

std::int64_t RunSession::nextRunNumber() const
{
    const std::int64_t inFile =
        m_recorder && m_recorder->recording() ? m_recorder->lastRunInFile() : 0;
    return std::max(m_lastRun, inFile) + 1;
}

void RunSession::addObserver(RecordObserver *observer)
{
    if (m_observers.add(observer) && m_run && m_run->running()) {
        observer->runStarted(m_run->runStart());
        if (!m_run->channelNames().empty()) {
            observer->channelsNamed(m_run->channelNames());
        }
    }
}

void RunSession::pauseWire(bool paused)
{
    if (paused) {
        m_wire.pause();
    } else {
        m_wire.resume();
    }
}

bool RunSession::send(std::string_view bytes)
{
    if (!m_run || !m_run->running()) {
        m_sendError = tr("Nothing was sent: no run is going.");
        return false;
    }
    if (m_run->suspended()) {
        m_sendError = tr("Nothing was sent: the run waits for %1 to come back.")
                          .arg(DeviceName::shown(device()));
        return false;
    }
    if (!m_port.write(bytes)) {
        m_sendError = QString::fromStdString(m_port.errorText());
        return false;
    }
    m_sendError.clear();
    return true;
}

void RunSession::stop()
{
    stopWaiting();
    const bool wasRunning = m_run && m_run->running();
    if (m_run) {
        m_run->stop();
    }
    if (m_port.portOpen()) {
        m_port.setPortOpen(false);
    }
    if (wasRunning) {
        emit ended({});
    }
}

void RunSession::serviceRun()
{
    m_serviceQueued = false;
    if (!m_run || !m_run->running()) {
        return;
    }
    // A bounded share of what is waiting; the rest gets a turn of its own, so that the event
    // loop goes on in between.
    if (m_run->service(m_serviceBudget) && m_run->running() && !m_serviceQueued) {
        m_serviceQueued = true;
        QMetaObject::invokeMethod(this, &RunSession::serviceRun, Qt::QueuedConnection);
    }
    if (m_recorder && m_flushEveryTurn) {
        m_recorder->flush();
    }
    checkRecording();
}

void RunSession::portFailed(const QString &message)
{
    if (!m_run || !m_run->running() || m_run->suspended()) {
        return;
    }
    if (!m_reconnect) {
        // The port's own message ends with the window's Start button.
        const QString told =
            m_forTerminal
                ? SerialMessages::connectionLostInTerminal(device(), SerialMessages::hungUp())
                : message;
        m_run->fail(told.toStdString());
        emit ended(told);
        return;
    }
    m_run->suspend();
    setWaitReason({});
    m_reconnectTimer.start();
    emit waitingForDevice(device());
}

void RunSession::lookForDevice()
{
    if (!m_run || !m_run->running() || !m_run->suspended()) {
        stopWaiting();
        return;
    }
    // A device missing at its path costs one stat(); a device that is there is opened only when
    // it is like the one lost, and one that is not ready yet is tried again next time.
    const DeviceIdentity now = DeviceIdentity::of(DeviceName::filePath(device()).toStdString());
    if (!now.exists) {
        setWaitReason({});
        return;
    }
    if (const std::string why = now.differenceFrom(m_identity); !why.empty()) {
        setWaitReason(tr("%1 is there again, but it %2; it is not opened")
                          .arg(DeviceName::shown(device()), QString::fromStdString(why)));
        return;
    }
    if (m_run->resume()) {
        noteIdentity();
        stopWaiting();
        ++m_reconnections;
        emit resumed();
    }
}

void RunSession::stopWaiting()
{
    m_reconnectTimer.stop();
    setWaitReason({});
}

void RunSession::setWaitReason(const QString &reason)
{
    if (reason != m_waitReason) {
        m_waitReason = reason;
        emit waitReasonChanged(reason);
    }
}

void RunSession::noteIdentity()
{
    m_identity = DeviceIdentity::of(DeviceName::filePath(device()).toStdString());
}

bool RunSession::startRecording(const QString &path, bool append)
{
    auto recorder = std::make_unique<CsvRecorder>();
    // The file named, byte for byte: the path keeps the bytes of the user's name.
    if (!recorder->open(DeviceName::toBytes(path).toStdString(), append)) {
        m_recordingError = QString::fromStdString(recorder->errorText());
        return false;
    }
    startRecording(std::move(recorder));
    return true;
}

void RunSession::startRecording(std::unique_ptr<CsvRecorder> recorder)
{
    stopRecording();
    m_recorder = std::move(recorder);
    m_recordingError.clear();
    m_recordingFailureTold = false;
    if (m_run && m_run->running() && m_recorder->lastRunInFile() >= m_run->runStart().run) {
        // The file holds this run's number already: the run goes on under the next free one.
        m_lastRun = m_recorder->lastRunInFile() + 1;
        m_run->renumber(m_lastRun);
    }
    addObserver(m_recorder.get());
    m_flushTimer.start();
}

void RunSession::stopRecording()
{
    m_flushTimer.stop();
    if (m_recorder) {
        removeObserver(m_recorder.get());
        m_recorder->close();
    }
}

void RunSession::finishRecording()
{
    m_flushTimer.stop();
    if (m_recorder) {
        removeObserver(m_recorder.get());
        m_recorder->finish();
    }
}

QString RunSession::recordingNotice() const
{
    return m_recorder ? QString::fromStdString(m_recorder->noticeText()) : QString();
}

void RunSession::discardRecording()
{
    m_flushTimer.stop();
    if (m_recorder) {
        removeObserver(m_recorder.get());
        m_recorder->discard();
    }
}

void RunSession::checkRecording()
{
    if (!m_recorder || m_recordingFailureTold) {
        return;
    }
    m_recorder->flushIfDue(m_clock->now().monotonic);
    if (m_recorder->failed()) {
        m_recordingFailureTold = true;
        m_flushTimer.stop();
        m_recordingError = QString::fromStdString(m_recorder->errorText());
        emit recordingFailed(m_recordingError);
    }
}

} // namespace adc
