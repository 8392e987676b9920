#include "ScopeView.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <cmath>

namespace adc {

namespace {

constexpr int kDragThreshold = 4;

} // namespace

ScopeView::ScopeView(QWidget *parent) : QWidget(parent)
{
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(480, 300);
    m_state.setArea(PlotPainter::areaOf(plotRect()));
    m_frame.setSingleShot(true);
    m_frame.setInterval(kLiveRepaintMilliseconds);
    m_state.setPixelSteps(true);
    connect(&m_frame, &QTimer::timeout, this, &ScopeView::frameDue);
}

void ScopeView::moved(bool wasLive)
{
    if (m_state.isLive() != wasLive) {
        emit liveChanged(m_state.isLive());
    }
    update();
    emit viewChanged();
}

void ScopeView::setHistory(const HistoryStore *history)
{
    const bool wasLive = m_state.isLive();
    m_state.setHistory(history);
    moved(wasLive);
}

void ScopeView::historyChanged()
{
    const bool wasLive = m_state.isLive();
    if (m_state.followRun()) {
        moved(wasLive);
    }
    if (!m_frame.isActive()) {
        m_frame.start();
    }
}

void ScopeView::frameDue()
{
    // A trigger that holds the same stretch leaves the plot as it is.
    if (m_state.isLive() && followTrigger()) {
        updateLiveRegion();
    }
    emit recordsCame();
}

bool ScopeView::followTrigger()
{
    const HistoryStore *h = m_state.history();
    if (!m_triggerSettings || h == nullptr) {
        return true;
    }
    // The run's pace is known better as records come: the stretch follows the window.
    const std::int64_t records = m_state.windowRecords();
    if (std::abs(records - m_triggerSettings->records) * 10 > m_triggerSettings->records) {
        restartTrigger();
    }
    m_trigger.follow(*h);
    std::optional<PlotState::Held> held;
    if (const std::optional<Trigger::Stretch> s = m_trigger.held(h->end())) {
        held = PlotState::Held{s->start, s->end, s->trigger};
    }
    if (held && held == m_state.held()) {
        return false;
    }
    m_state.hold(held);
    return true;
}

void ScopeView::restartTrigger()
{
    m_triggerSettings->records = m_state.windowRecords();
    m_trigger.setSettings(*m_triggerSettings);
}

void ScopeView::setTrigger(const std::optional<Trigger::Settings> &settings)
{
    m_triggerSettings = settings;
    m_state.hold(std::nullopt);
    m_state.setLevelMark(std::nullopt);
    if (settings) {
        restartTrigger();
        m_state.setLevelMark(PlotState::Level{settings->channel, settings->level});
        followTrigger();
    }
    moved(m_state.isLive());
}

void ScopeView::armTrigger()
{
    m_trigger.arm();
}

bool ScopeView::onLevelHandle(QPoint at) const
{
    const std::optional<PlotState::Level> level = m_state.levelMark();
    if (!level) {
        return false;
    }
    const double y = m_state.mapping().pixelOfValue(level->value);
    return at.x() < plotRect().left() && std::abs(at.y() - y) <= 6;
}

std::optional<int> ScopeView::scrollColumns() const
{
    // Only lines through each record are drawn alike in every column; the readout's line stays
    // with the mouse.
    const PlotState::Mapping m = m_state.mapping();
    const auto [first, last] = m_state.recordsInView();
    const Painted &was = m_painted;
    // The newest record painted before must still be kept: the strip starts there.
    const HistoryStore *h = m_state.history();
    if (h == nullptr || was.end <= h->first() || was.end > h->end()) {
        return std::nullopt;
    }
    if (!was.whole || m_state.held() || last - first > m.area.width ||
        (m_mouse && plotRect().contains(*m_mouse)) || was.area.left != m.area.left ||
        was.area.top != m.area.top || was.area.width != m.area.width ||
        was.area.height != m.area.height || was.lo != m.lo || was.hi != m.hi) {
        return std::nullopt;
    }
    const double column = (m.to - m.from) / std::max(1, m.area.width - 1);
    const double shift = (m.from - was.from) / column;
    const auto columns = static_cast<int>(std::llround(shift));
    const bool sameWidth = std::abs((was.to - was.from) - (m.to - m.from)) <= column * 1e-6;
    if (!sameWidth || std::abs(shift - columns) > 1e-3 || columns < 0 ||
        columns >= m.area.width / 2) {
        return std::nullopt;
    }
    return columns;
}

void ScopeView::updateLiveRegion()
{
    if (!m_painter.marginsShow(m_state)) {
        update();
        return;
    }
    // New records move the plot and the time axis below it, the value axis when it is fitted,
    // and the readout when it shows the record under the mouse or the markers. When the plot
    // only moved left by whole columns, its pixels move and the columns from the newest record
    // painted before are drawn.
    const QRect plot = plotRect();
    const QRect legend = m_painter.legendBoxes()[0];
    QRegion region(plot);
    const HistoryStore *h = m_state.history();
    // The time axis under the plot moves with it.
    QRegion timeAxis(QRect(0, plot.bottom() + 1, width(), height() - plot.bottom() - 1));
    if (const std::optional<int> columns = scrollColumns()) {
        if (*columns == 0) {
            timeAxis = QRegion();
        }
        if (*columns > 0) {
            scroll(-*columns, 0, plot);
        }
        m_scrolled = true;
        const std::int64_t newest = std::max(h->first(), m_painted.end - 1);
        const double x = m_state.mapping().pixelOfX(m_state.xOf(newest));
        const int left =
            std::clamp(static_cast<int>(std::floor(x)) - 2, plot.left(), plot.right() - *columns);
        region = QRect(left, plot.top(), plot.right() - left + 1, plot.height());
        // The first columns too: a line from a record out of view is cut at the plot's edge.
        region += QRect(plot.left(), plot.top(), 3, plot.height());
    }
    region += timeAxis;
    if (m_state.valueScale() == ValueScale::Fitted) {
        region += QRect(0, plot.top(), plot.left(), plot.height());
    }
    if (m_mouse || m_state.marker(PlotState::Marker::A) || m_state.marker(PlotState::Marker::B)) {
        region += QRect(0, legend.bottom() + 1, width(), plot.top() - legend.bottom() - 1);
    }
    update(region);
}

void ScopeView::setLive(bool live)
{
    const bool wasLive = m_state.isLive();
    m_state.setLive(live);
    moved(wasLive);
}

void ScopeView::fitAll()
{
    m_state.fitAll();
    moved(m_state.isLive());
}

void ScopeView::setXAxis(XAxis axis)
{
    m_state.setXAxis(axis);
    moved(m_state.isLive());
}

void ScopeView::setValueScale(ValueScale scale)
{
    m_state.setValueScale(scale);
    moved(m_state.isLive());
}

void ScopeView::setChannelShown(int channel, bool shown)
{
    m_state.setChannelShown(channel, shown);
    moved(m_state.isLive());
}

void ScopeView::setEmptyText(const QString &text)
{
    m_painter.setEmptyText(text);
    update();
}

void ScopeView::setChannelUnits(const ChannelUnits &units)
{
    m_state.setUnits(units);
    moved(m_state.isLive());
}

void ScopeView::setGrowing(bool growing)
{
    m_painter.setGrowing(growing);
    update();
}

void ScopeView::paintEvent(QPaintEvent *event)
{
    QPainter p(this);
    m_state.setArea(PlotPainter::areaOf(plotRect()));
    m_painter.paint(p, size(), m_state, m_mouse, event->region());
    // What the plot shows now, for the next frame to move it by whole pixels.
    const PlotState::Mapping m = m_state.mapping();
    const bool whole = event->region().contains(plotRect()) || m_scrolled;
    m_painted = {whole,
                 m.area,
                 m.from,
                 m.to,
                 m.lo,
                 m.hi,
                 m_state.history() != nullptr ? m_state.history()->end() : 0};
    m_scrolled = false;
}

void ScopeView::resizeEvent(QResizeEvent *)
{
    m_state.setArea(PlotPainter::areaOf(plotRect()));
}

void ScopeView::wheelEvent(QWheelEvent *event)
{
    const double steps = event->angleDelta().y() / 120.0;
    if (steps == 0.0) {
        return;
    }
    const double factor = std::pow(0.8, steps);
    if (event->modifiers() & Qt::ControlModifier) {
        m_state.zoomValues(event->position().y(), factor);
    } else {
        m_state.zoomTime(event->position().x(), factor);
        if (m_triggerSettings && m_state.isLive()) {
            // The held stretch grows or shrinks around its trigger point.
            restartTrigger();
            followTrigger();
        }
    }
    event->accept();
    moved(m_state.isLive());
}

void ScopeView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        return;
    }
    const auto &boxes = m_painter.legendBoxes();
    for (int k = 0; k < HistoryStore::kMaxStoreChannels; ++k) {
        if (boxes[static_cast<std::size_t>(k)].contains(event->position().toPoint())) {
            setChannelShown(k, !m_state.channelShown(k));
            return;
        }
    }
    m_pressAt = event->position().toPoint();
    m_dragged = false;
    m_draggingLevel = onLevelHandle(*m_pressAt);
    m_state.beginPan();
}

void ScopeView::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint at = event->position().toPoint();
    if (m_draggingLevel && (event->buttons() & Qt::LeftButton)) {
        m_triggerSettings->level = m_state.mapping().valueAt(at.y());
        m_state.setLevelMark(
            PlotState::Level{m_triggerSettings->channel, m_triggerSettings->level});
        restartTrigger();
        update();
        emit triggerLevelDragged(m_triggerSettings->level);
        return;
    }
    setCursor(onLevelHandle(at) ? Qt::SizeVerCursor : Qt::ArrowCursor);
    if (m_pressAt && (event->buttons() & Qt::LeftButton)) {
        const int dx = at.x() - m_pressAt->x();
        if (m_dragged || std::abs(dx) >= kDragThreshold) {
            const bool wasLive = m_state.isLive();
            m_dragged = true;
            m_state.panBy(dx);
            moved(wasLive);
        }
    }
    const auto before = m_mouse ? m_state.nearestRecord(m_mouse->x()) : std::nullopt;
    const bool wasIn = m_mouse && plotRect().contains(*m_mouse);
    m_mouse = at;
    // The readout changes only when another record is nearest.
    if (before != m_state.nearestRecord(at.x()) || wasIn != plotRect().contains(at)) {
        update();
    }
}

void ScopeView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_pressAt) {
        return;
    }
    if (!m_dragged && !m_draggingLevel && plotRect().contains(*m_pressAt)) {
        const std::optional<std::int64_t> i = m_state.nearestRecord(m_pressAt->x());
        if (i) {
            m_state.setMarker(event->modifiers() & Qt::ShiftModifier ? PlotState::Marker::B
                                                                     : PlotState::Marker::A,
                              *i);
            update();
            emit viewChanged();
        }
    }
    m_pressAt.reset();
    m_dragged = false;
    m_draggingLevel = false;
}

void ScopeView::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        fitAll();
    }
}

void ScopeView::leaveEvent(QEvent *)
{
    m_mouse.reset();
    update();
}

} // namespace adc
