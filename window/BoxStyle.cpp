#include "BoxStyle.h"

#include <QPainter>
#include <QStyleFactory>
#include <QStyleOption>

#include <algorithm>

namespace adc {

namespace {

/// Panels kept at most; the window has two sizes of box.
constexpr std::size_t kMostPanels = 16;

} // namespace

BoxStyle::BoxStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Windows"))) {}

void BoxStyle::drawPrimitive(PrimitiveElement element, const QStyleOption *option,
                             QPainter *painter, const QWidget *widget) const
{
    const auto *frame = qstyleoption_cast<const QStyleOptionFrame *>(option);
    if (element != PE_PanelLineEdit || frame == nullptr || painter->device() == nullptr) {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        return;
    }
    const Panel wanted{
        frame->rect.size(),        static_cast<int>(frame->state),        frame->lineWidth,
        frame->palette.cacheKey(), painter->device()->devicePixelRatio(), {}};
    const auto same = [&wanted](const Panel &p) {
        return p.size == wanted.size && p.state == wanted.state &&
               p.lineWidth == wanted.lineWidth && p.palette == wanted.palette &&
               p.ratio == wanted.ratio;
    };
    auto panel = std::find_if(m_panels.begin(), m_panels.end(), same);
    if (panel == m_panels.end()) {
        if (m_panels.size() >= kMostPanels) {
            m_panels.clear();
        }
        QPixmap drawn(wanted.size * wanted.ratio);
        drawn.setDevicePixelRatio(wanted.ratio);
        drawn.fill(Qt::transparent);
        QStyleOptionFrame atOrigin = *frame;
        atOrigin.rect.moveTopLeft(QPoint(0, 0));
        QPainter onPanel(&drawn);
        QProxyStyle::drawPrimitive(element, &atOrigin, &onPanel, widget);
        onPanel.end();
        m_panels.push_back(wanted);
        m_panels.back().pixmap = drawn;
        panel = m_panels.end() - 1;
    }
    painter->drawPixmap(frame->rect.topLeft(), panel->pixmap);
}

} // namespace adc
