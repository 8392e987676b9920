#include "LiveScope.h"

#include "ChoiceStore.h"
#include "LiveFeed.h"
#include "RunSession.h"
#include "ScopeWindow.h"

#include <QEvent>
#include <QScreen>
#include <QWindow>

#include <algorithm>
#include <array>

namespace adc {

LiveScope::LiveScope(RunSession &session, QWidget &window, std::int64_t records, QObject *parent)
    : QObject(parent), m_session(session), m_window(window), m_records(records)
{
}

LiveScope::~LiveScope()
{
    if (m_feed) {
        m_session.removeObserver(m_feed.get());
    }
}

void LiveScope::open()
{
    if (m_scope) {
        m_scope->show();
        m_scope->raise();
        return;
    }
    m_history = std::make_unique<HistoryStore>(m_records);
    m_scope = std::make_unique<ScopeWindow>();
    connect(m_scope.get(), &ScopeWindow::lineViewWanted, this, &LiveScope::lineViewWanted);
    m_scope->setKeptChannels(&ChoiceStore::openUserSettings);
    m_scope->applyChannelSettings(m_channelSettings);
    m_feed = std::make_unique<LiveFeed>(*m_history,
                                        [view = m_scope->view()] { view->historyChanged(); });
    m_session.addObserver(m_feed.get());
    m_scope->showLive(m_history.get());
    // The window's place is the window system's to give: until the window is shown on the
    // screen, its frame and position are not known yet.
    QWindow *handle = m_window.windowHandle();
    if (handle != nullptr && handle->isExposed()) {
        place();
    } else if (handle != nullptr && m_window.isVisible()) {
        handle->installEventFilter(this);
    } else {
        m_window.installEventFilter(this);
    }
}

bool LiveScope::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == &m_window && event->type() == QEvent::Show) {
        m_window.removeEventFilter(this);
        QWindow *handle = m_window.windowHandle();
        if (handle != nullptr && !handle->isExposed()) {
            handle->installEventFilter(this);
        } else {
            place();
        }
    } else if (event->type() == QEvent::Expose && watched == m_window.windowHandle() &&
               m_window.windowHandle()->isExposed()) {
        watched->removeEventFilter(this);
        place();
    }
    return QObject::eventFilter(watched, event);
}

void LiveScope::place()
{
    // Where the window system put the window, asked of it now: what Qt last heard may be from
    // before the window manager placed it. The scope's frame is not known before it is shown;
    // the main window's is the best guess.
    const QMargins decoration = m_window.windowHandle()->frameMargins();
    const QRect frame =
        QRect(m_window.mapToGlobal(QPoint(0, 0)), m_window.size()).marginsAdded(decoration);
    const QRect available = m_window.screen()->availableGeometry();
    const std::optional<QRect> place =
        placeBeside(available, frame, kSize.grownBy(decoration), kLeastSize.grownBy(decoration));
    if (place) {
        m_scope->resize(place->size().shrunkBy(decoration));
        m_scope->move(place->topLeft());
    } else {
        m_scope->resize(kSize.boundedTo(available.size().shrunkBy(decoration)));
    }
    m_scope->show();
    m_scope->raise();
}

std::optional<QRect> LiveScope::placeBeside(const QRect &available, const QRect &main, QSize size,
                                            QSize least)
{
    const QRect &a = available;
    // The room on each side, in the order it is tried.
    const std::array<QRect, 4> rooms = {
        QRect(QPoint(main.right() + 1 + kGap, a.top()), a.bottomRight()),
        QRect(a.topLeft(), QPoint(main.left() - 1 - kGap, a.bottom())),
        QRect(QPoint(a.left(), main.bottom() + 1 + kGap), a.bottomRight()),
        QRect(a.topLeft(), QPoint(a.right(), main.top() - 1 - kGap)),
    };
    for (std::size_t side = 0; side < rooms.size(); ++side) {
        const QRect &room = rooms[side];
        if (room.width() < least.width() || room.height() < least.height()) {
            continue;
        }
        QRect place(QPoint(), size.boundedTo(room.size()));
        // Next to the main window, along its top edge or its left edge where the room allows.
        const bool beside = side < 2;
        place.moveTo(side == 1 ? room.right() - place.width() + 1 : room.left(),
                     side == 3 ? room.bottom() - place.height() + 1 : room.top());
        if (beside) {
            place.moveTop(std::clamp(main.top(), room.top(), room.bottom() - place.height() + 1));
        } else {
            place.moveLeft(std::clamp(main.left(), room.left(), room.right() - place.width() + 1));
        }
        return place;
    }
    return std::nullopt;
}

} // namespace adc
