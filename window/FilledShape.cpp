#include "FilledShape.h"

#include <QPaintEvent>
#include <QPainter>

namespace adc {

FilledShape::FilledShape(QColor fill, QWidget *parent) : QWidget(parent), m_fill(fill)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void FilledShape::setFillColour(QColor fill)
{
    if (fill == m_fill) {
        return;
    }
    m_fill = fill;
    update();
}

void FilledShape::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), m_fill);
}

} // namespace adc
