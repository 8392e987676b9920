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
    if (m_state.isLive()) {
        updateLiveRegion();
    }
    emit viewChanged();
}

void ScopeView::updateLiveRegion()
{
    if (!m_painter.marginsShow(m_state)) {
        update();
        return;
    }
    // New records move the plot and the time axis below it, the value axis when it is fitted,
    // and the readout when it shows the record under the mouse or the markers.
    const QRect plot = plotRect();
    const QRect legend = m_painter.legendBoxes()[0];
    QRegion region(plot);
    region += QRect(0, plot.bottom() + 1, width(), height() - plot.bottom() - 1);
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

void ScopeView::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    m_state.setArea(PlotPainter::areaOf(plotRect()));
    m_painter.paint(p, size(), m_state, m_mouse);
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
    m_state.beginPan();
}

void ScopeView::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint at = event->position().toPoint();
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
    if (!m_dragged && plotRect().contains(*m_pressAt)) {
        const std::optional<std::int64_t> i = m_state.nearestRecord(m_pressAt->x());
        if (i) {
            m_state.setMarker(event->modifiers() & Qt::ShiftModifier ? PlotState::Marker::B
                                                                     : PlotState::Marker::A,
                              *i);
            update();
        }
    }
    m_pressAt.reset();
    m_dragged = false;
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
