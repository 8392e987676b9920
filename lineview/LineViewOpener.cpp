#include "LineViewOpener.h"

#include "LineView.h"
#include "RunSession.h"

namespace adc {

LineViewOpener::LineViewOpener(RunSession &session, QObject *parent)
    : QObject(parent), m_session(session)
{
}

LineViewOpener::~LineViewOpener() = default;

void LineViewOpener::open()
{
    if (!m_view) {
        RunSession &session = m_session;
        m_view = std::make_unique<LineView>(
            session.wireLog(), [&session](bool paused) { session.pauseWire(paused); },
            [&session](std::string_view bytes) {
                return session.send(bytes) ? QString() : session.sendError();
            });
    }
    m_view->show();
    m_view->raise();
    m_view->activateWindow();
    m_view->sendBox()->edit()->setFocus();
}

} // namespace adc
