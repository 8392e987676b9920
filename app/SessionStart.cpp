#include "SessionStart.h"
#include "DeviceName.h"

#include <cstdio>

namespace adc {

SessionStart::SessionStart(RunSession &session, QObject *parent)
    : QObject(parent), m_session(session)
{
    connect(&m_board, &DemoBoard::restarted, this, &SessionStart::simulatedBoardMoved);
}

SessionStart::~SessionStart()
{
    stop();
}

bool SessionStart::prepare(const StartSettings &settings,
                           const std::optional<PublishSettings> &publishing)
{
    m_exitStatus = 0;
    m_errorText.clear();
    m_board.setBaud(settings.baud);
    m_board.setFormat(settings.format);
    m_board.setChannels(settings.channels);
    if (settings.simulated && !m_board.start()) {
        return fail(1, m_board.errorText());
    }
    const QString device = settings.simulated ? m_board.port1Device() : settings.device;
    m_session.setDevice(device);
    m_session.setLineSettings(settings.line());
    m_session.setReconnect(settings.reconnect);
    m_session.setFormat(settings.format);
    m_session.setChannelCount(settings.channels);
    if (publishing) {
        PublishSettings withDevice = *publishing;
        withDevice.device = DeviceName::toBytes(device).toStdString();
        QString error;
        m_publishing = Publishing::create(withDevice, error);
        if (!m_publishing) {
            return fail(2, error);
        }
    }
    if (!settings.recordPath.isEmpty()) {
        if (!m_session.startRecording(settings.recordPath, settings.append)) {
            return fail(2, m_session.recordingError());
        }
        if (const std::string notice = m_session.recorder()->noticeText(); !notice.empty()) {
            std::fprintf(stderr, "adconverter: %s\n", notice.c_str());
        }
    }
    return true;
}

bool SessionStart::begin()
{
    if (!m_publishing) {
        return true;
    }
    QString error;
    if (!m_publishing->start(error)) {
        return fail(2, error);
    }
    m_session.addObserver(&m_publishing->publisher());
    return true;
}

void SessionStart::stop()
{
    if (m_publishing) {
        m_publishing->stop();
    }
    m_board.stop();
}

bool SessionStart::fail(int exitStatus, const QString &text)
{
    m_exitStatus = exitStatus;
    m_errorText = text;
    // A start that fails leaves no recording behind.
    m_session.discardRecording();
    m_publishing.reset();
    m_board.stop();
    return false;
}

} // namespace adc
