#include "StripChart.h"

#include <QLineF>
#include <QPaintEvent>
#include <QPainter>
#include <QPen>

#include <cmath>

namespace adc {

namespace {

/// The pixel that holds twip coordinate `t` (rounding towards minus infinity).
constexpr std::int64_t pixelOf(std::int64_t t)
{
    const std::int64_t q = t / StripChart::kTwipsPerPixel;
    return (t % StripChart::kTwipsPerPixel < 0) ? q - 1 : q;
}

QColor qtColour(Colour colour)
{
    return QColor(static_cast<int>(colour & 0xffu), static_cast<int>((colour >> 8) & 0xffu),
                  static_cast<int>((colour >> 16) & 0xffu));
}

/// Beyond this many pixels from the interior the painter's fixed-point arithmetic is not
/// trusted; such lines are cut down in floating point first.
constexpr double kSafeReach = 16384.0;

/// Cuts the line to the rectangle from (left, top) to (right, bottom) (Liang-Barsky); false when
/// nothing of it lies inside.
bool clipLine(QLineF &line, double left, double top, double right, double bottom)
{
    const double dx = line.dx();
    const double dy = line.dy();
    double t0 = 0.0;
    double t1 = 1.0;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {line.x1() - left, right - line.x1(), line.y1() - top, bottom - line.y1()};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0.0) {
            if (q[i] < 0.0) {
                return false;
            }
            continue;
        }
        const double r = q[i] / p[i];
        if (p[i] < 0.0) {
            t0 = std::max(t0, r);
        } else {
            t1 = std::min(t1, r);
        }
        if (t0 > t1) {
            return false;
        }
    }
    const QPointF start = line.p1();
    line =
        QLineF(start.x() + t0 * dx, start.y() + t0 * dy, start.x() + t1 * dx, start.y() + t1 * dy);
    return true;
}

} // namespace

StripChart::StripChart(QWidget *parent)
    : QFrame(parent), m_image(kInteriorWidth, kInteriorHeight, QImage::Format_RGB32)
{
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(kBorderWidth);
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_image.fill(Qt::white);
}

StripChart::Segment StripChart::swept(const Segment &segment)
{
    std::int64_t sweeps = segment.x1 / kSweepWidthTwips;
    if (segment.x1 % kSweepWidthTwips < 0) {
        --sweeps;
    }
    const std::int64_t shift = sweeps * kSweepWidthTwips;
    return {segment.x1 - shift, segment.y1, segment.x2 - shift, segment.y2, segment.colour};
}

std::span<const StripChart::Segment> StripChart::lastSweep(std::span<const Segment> segments)
{
    // Once the pen has gone round far enough for its band to pass every column, nothing drawn
    // before is left: the chart is wiped at once and only the segments still in view are drawn.
    // A new run in between starts again at the left edge; then everything is drawn.
    const std::int64_t end = segments.back().x1;
    const std::int64_t reach = kSweepWidthTwips - std::int64_t(kSweepGapPixels) * kTwipsPerPixel;
    for (std::size_t first = segments.size(); first > 0; --first) {
        const std::int64_t x = segments[first - 1].x1;
        if (x > end) {
            return segments;
        }
        if (x <= end - reach) {
            m_image.fill(Qt::white);
            update(contentsRect());
            return segments.subspan(first);
        }
    }
    return segments;
}

void StripChart::eraseAhead(QPainter &painter, const Segment &segment, QRect &touched)
{
    const std::int64_t end = pixelOf(std::max(segment.x1, segment.x2));
    if (end == m_erasedAfter) {
        return;
    }
    m_erasedAfter = end;
    const int first = int(((end + 1) % kInteriorWidth + kInteriorWidth) % kInteriorWidth);
    const int beforeEdge = std::min(kSweepGapPixels, kInteriorWidth - first);
    const QRect band(first, 0, beforeEdge, kInteriorHeight);
    painter.fillRect(band, Qt::white);
    touched |= band;
    if (beforeEdge < kSweepGapPixels) {
        // The band goes on at the left edge.
        const QRect rest(0, 0, kSweepGapPixels - beforeEdge, kInteriorHeight);
        painter.fillRect(rest, Qt::white);
        touched |= rest;
    }
}

void StripChart::drawSegments(std::span<const Segment> segments)
{
    if (segments.empty()) {
        return;
    }
    if (m_sweep) {
        segments = lastSweep(segments);
    }
    QPainter painter(&m_image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    QPen pen(Qt::black, 0);
    Colour penColour = 0;
    bool havePen = false;
    // Only the part of the chart that the new segments touch is brought to the screen.
    QRect touched;
    for (const Segment &given : segments) {
        const Segment s = m_sweep ? swept(given) : given;
        if (m_sweep) {
            eraseAhead(painter, s, touched);
        }
        if (!canShow(s)) {
            continue;
        }
        if (!havePen || s.colour != penColour) {
            penColour = s.colour;
            havePen = true;
            pen.setColor(qtColour(penColour));
            painter.setPen(pen);
        }
        drawLine(painter, s, touched);
    }
    painter.end();
    touched = touched.adjusted(-1, -1, 1, 1) & m_image.rect();
    if (!touched.isEmpty()) {
        update(touched.translated(contentsRect().topLeft()));
    }
}

void StripChart::drawLine(QPainter &painter, const Segment &s, QRect &touched)
{
    const std::int64_t x1 = pixelOf(s.x1);
    const std::int64_t y1 = pixelOf(s.y1);
    const std::int64_t x2 = pixelOf(s.x2);
    const std::int64_t y2 = pixelOf(s.y2);
    const auto far = [](std::int64_t v, int size) {
        return v < -kSafeReach || v > size + kSafeReach;
    };
    if (far(x1, kInteriorWidth) || far(x2, kInteriorWidth) || far(y1, kInteriorHeight) ||
        far(y2, kInteriorHeight)) {
        QLineF line{double(x1), double(y1), double(x2), double(y2)};
        if (clipLine(line, -2.0, -2.0, kInteriorWidth + 2.0, kInteriorHeight + 2.0)) {
            painter.drawLine(line);
            touched |= QRectF(line.p1(), line.p2()).normalized().toAlignedRect();
        }
    } else {
        painter.drawLine(int(x1), int(y1), int(x2), int(y2));
        touched |= QRect(QPoint(int(x1), int(y1)), QPoint(int(x2), int(y2))).normalized();
    }
}

void StripChart::clear()
{
    m_image.fill(Qt::white);
    m_erasedAfter = -1;
    update(contentsRect());
}

void StripChart::paintEvent(QPaintEvent *event)
{
    // New traces repaint only the interior; the border is drawn when it is uncovered.
    if (!contentsRect().contains(event->rect())) {
        QFrame::paintEvent(event);
    }
    QPainter painter(this);
    const QRect area = event->rect() & contentsRect();
    painter.drawImage(area, m_image, area.translated(-contentsRect().topLeft()));
}

} // namespace adc
