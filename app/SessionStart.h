#pragma once

#include "DemoBoard.h"
#include "Publishing.h"
#include "RunSession.h"
#include "StartSettings.h"

#include <QObject>
#include <QString>

#include <memory>

namespace adc {

/// The steps a session starts with, the same for the window and the headless logger, in an
/// order that leaves nothing behind when one fails: the simulated board (--demo), then
/// publishing's settings checked (password, certificate authorities, topic), and only then the
/// recording's file made, its notice told on standard error. begin() then connects publishing.
/// A step that fails is undone with those before it; errorText() says why.
class SessionStart : public QObject {
    Q_OBJECT

public:
    explicit SessionStart(RunSession &session, QObject *parent = nullptr);
    /// Stops publishing and the simulated board.
    ~SessionStart() override;

    /// Gives the session port 1's device (the simulated board's, started here, or the one
    /// named), the line and the wait for a lost device, checks publishing and opens the
    /// recording. False when a step fails, with nothing left behind.
    bool prepare(const StartSettings &settings, const std::optional<PublishSettings> &publishing);
    /// Connects publishing, if asked for: every record from now on is published. False when
    /// its settings are refused, with the recording discarded.
    bool begin();
    /// Says "offline" to the broker and ends the simulated board: the session is over.
    void stop();

    QString errorText() const { return m_errorText; }
    /// The program's exit status after a failure: 1 when the simulated board did not start,
    /// 2 when a setting was refused (publishing's, the recording's file).
    int exitStatus() const { return m_exitStatus; }
    /// The simulated board's device while it runs; empty otherwise.
    QString simulatedDevice() const { return m_board.port1Device(); }
    /// The publishing begun, if any.
    Publishing *publishing() const { return m_publishing.get(); }

signals:
    /// The simulated board died and runs again at `device`.
    void simulatedBoardMoved(const QString &device);

private:
    bool fail(int exitStatus, const QString &text);

    RunSession &m_session;
    DemoBoard m_board;
    std::unique_ptr<Publishing> m_publishing;
    int m_exitStatus = 0;
    QString m_errorText;
};

} // namespace adc
