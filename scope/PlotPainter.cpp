#include "PlotPainter.h"

#include "AxisTicks.h"
#include "RecordingFormat.h"

#include <QPainter>
#include <QPainterPath>
#include <QRegion>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace adc {

namespace {

constexpr int kLeftMargin = 64;
constexpr int kRightMargin = 16;
constexpr int kTopMargin = 62; // the legend's row and the readout's two rows
constexpr int kBottomMargin = 34;

const QColor kBackground(0x14, 0x17, 0x1c);
const QColor kPlotBackground(0x0b, 0x0d, 0x10);
const QColor kGrid(0x2c, 0x32, 0x3a);
const QColor kAxisText(0xb4, 0xbc, 0xc6);
const QColor kMarker(0xff, 0xff, 0xff);

using Pieces = std::vector<std::pair<QString, QColor>>;

/// One row of the readout, in pieces of their own colour.
void drawRow(QPainter &p, int line, const Pieces &pieces)
{
    const QFontMetrics metrics = p.fontMetrics();
    int x = kLeftMargin;
    const int baseline = 28 + line * (metrics.height() + 1) + metrics.ascent();
    for (const auto &[text, colour] : pieces) {
        p.setPen(colour);
        p.drawText(x, baseline, text);
        x += metrics.horizontalAdvance(text) + 8;
    }
}

QString channelName(const PlotState &state, int channel)
{
    return QString::fromStdString(state.channelName(channel));
}

/// A value exactly as the recording writes it.
QString valueText(double v)
{
    char text[RecordingFormat::kMaxValueLength];
    return QString::fromLatin1(text, RecordingFormat::writeValue(text, v) - text);
}

/// Channel `channel`'s value `raw` as the readout shows it: exactly as recorded in counts, or
/// in its units with their text.
QString unitsText(const PlotState &state, int channel, double raw)
{
    const ChannelUnits &units = state.units();
    if (!units.scaled(channel)) {
        return valueText(raw);
    }
    QString text = QString::number(units.toUnits(channel, raw), 'g', 6);
    if (!units.unit(channel).empty()) {
        text += QLatin1Char(' ') + QString::fromStdString(units.unit(channel));
    }
    return text;
}

/// Channel `channel`'s change from record `a` to record `b`, in its units.
QString differenceText(const PlotState &state, int channel, std::int64_t a, std::int64_t b)
{
    const HistoryStore &h = *state.history();
    const ChannelUnits &units = state.units();
    const double change =
        units.toUnits(channel, h.value(b, channel)) - units.toUnits(channel, h.value(a, channel));
    QString text = QString::number(change, 'g', units.scaled(channel) ? 6 : 10);
    if (!units.unit(channel).empty()) {
        text += QLatin1Char(' ') + QString::fromStdString(units.unit(channel));
    }
    return text;
}

QRect rectOf(const PlotState::Area &area)
{
    return QRect(area.left, area.top, area.width, area.height);
}

QString timeText(const HistoryStore &h, std::int64_t i)
{
    return QString::number(static_cast<double>(h.micros(i)) / 1e6, 'f', 6) + QStringLiteral(" s");
}

} // namespace

QRect PlotPainter::plotRect(QSize size)
{
    return QRect(kLeftMargin, kTopMargin, std::max(1, size.width() - kLeftMargin - kRightMargin),
                 std::max(1, size.height() - kTopMargin - kBottomMargin));
}

PlotState::Area PlotPainter::areaOf(const QRect &plot)
{
    return {plot.left(), plot.top(), plot.width(), plot.height()};
}

QColor PlotPainter::channelColour(Mode mode, int channel)
{
    // The main window's colours, made light enough to read on the dark plot; its grey, which
    // would vanish among the grid lines, becomes orange.
    static const QColor kByPaletteNumber[16] = {
        {0xff, 0xff, 0xff}, {0x7a, 0x8c, 0xff}, {0x4c, 0xd9, 0x4c}, {0x3c, 0xd0, 0xd0},
        {0xff, 0x70, 0x70}, {0xe0, 0x70, 0xe0}, {0xd0, 0xc0, 0x50}, {0xdc, 0xdc, 0xdc},
        {0xff, 0x9f, 0x1c}, {0x5c, 0x9d, 0xff}, {0x5c, 0xf0, 0x5c}, {0x40, 0xe8, 0xe8},
        {0xff, 0x5a, 0x5a}, {0xff, 0x6b, 0xff}, {0xff, 0xe6, 0x4d}, {0xff, 0xff, 0xff}};
    const ModeInfo &info = modeInfo(mode);
    if (channel < static_cast<int>(info.paletteNumbers.size())) {
        return kByPaletteNumber[info.paletteNumbers[static_cast<std::size_t>(channel)] & 15];
    }
    // Channels beyond the board's: the bright colours in turn, skipping white.
    return kByPaletteNumber[1 + channel % 14];
}

bool PlotPainter::marginsShow(const PlotState &state) const
{
    const HistoryStore *h = state.history();
    return h != nullptr && m_legendBoxes[0].isValid() && h->run() == m_marginsKey.run &&
           h->mode() == m_marginsKey.mode && h->names() == m_marginsKey.names;
}

void PlotPainter::paint(QPainter &p, QSize size, const PlotState &state,
                        std::optional<QPoint> mouse, const QRegion &exposed)
{
    m_exposed = exposed.isEmpty() ? QRegion(QRect(QPoint(), size)) : exposed;
    const QRect plot = plotRect(size);
    const PlotState::Mapping m = state.mapping();
    drawMargins(p, size, state, m);
    drawPlot(p, state, m);
    // The frame goes round the plot, so that its edge columns and rows show traces.
    p.setPen(kGrid);
    p.drawRect(plot.adjusted(-1, -1, 0, 0));
    drawMarkerLines(p, state, m);
    drawTriggerMarks(p, state, m);
    drawReadout(p, state, m, mouse);
    if (state.history() == nullptr || state.history()->empty()) {
        drawHint(p, plot);
    }
}

void PlotPainter::drawHint(QPainter &p, const QRect &plot)
{
    // Wrapped to the plot's width; where the lines would not fit its height, one line cut short.
    const QRect room = plot.adjusted(8, 8, -8, -8);
    const QFontMetrics metrics = p.fontMetrics();
    const int flags = Qt::AlignCenter | Qt::TextWordWrap;
    const QRect needed = metrics.boundingRect(room, flags, m_emptyText);
    p.setPen(kAxisText);
    if (needed.height() <= room.height() && needed.width() <= room.width()) {
        p.drawText(room, flags, m_emptyText);
    } else {
        p.drawText(room, Qt::AlignCenter,
                   metrics.elidedText(m_emptyText, Qt::ElideRight, room.width()));
    }
}

void PlotPainter::drawPlot(QPainter &p, const PlotState &state, const PlotState::Mapping &m)
{
    const QRect plot = rectOf(m.area);
    const auto [first, last] = state.recordsInView();
    if (last - first <= plot.width()) {
        // Few records: a line through each, drawn straight onto the widget.
        p.fillRect(plot, kPlotBackground);
        drawTimeAxis(p, p, state, m);
        drawValueAxis(nullptr, &p, state, m);
        p.save();
        p.setClipRect(plot);
        drawFewTraces(p, state, m);
        p.restore();
        return;
    }
    // Many records: the plot area is drawn off screen (grid, then the traces written into its
    // pixels) and copied once.
    if (m_plotImage.size() != plot.size()) {
        m_plotImage = QImage(plot.size(), QImage::Format_RGB32);
    }
    m_plotImage.fill(kPlotBackground);
    {
        QPainter inPlot(&m_plotImage);
        inPlot.translate(-plot.topLeft());
        drawTimeAxis(p, inPlot, state, m);
        drawValueAxis(nullptr, &inPlot, state, m);
    }
    drawManyTraces(state, m);
    p.drawImage(plot.topLeft(), m_plotImage);
}

void PlotPainter::drawMargins(QPainter &p, QSize size, const PlotState &state,
                              const PlotState::Mapping &m)
{
    const QRect plot = plotRect(size);
    const HistoryStore *h = state.history();
    const qreal ratio = p.device()->devicePixelRatioF();
    const MarginsKey key{size,
                         ratio,
                         p.font().key(),
                         h != nullptr,
                         h != nullptr ? h->mode() : Mode::Int,
                         h != nullptr ? h->run() : 0,
                         state.isLive(),
                         state.hiddenChannels(),
                         m.lo,
                         m.hi,
                         state.xAxis(),
                         state.xAxis() == PlotState::XAxis::Seconds &&
                             AxisTicks::clockAxis(m.from, m.to),
                         state.units(),
                         h != nullptr ? h->names() : std::vector<std::string>()};
    if (key != m_marginsKey || m_margins.isNull()) {
        m_marginsKey = key;
        m_margins = QImage(size * ratio, QImage::Format_RGB32);
        m_margins.setDevicePixelRatio(ratio);
        m_margins.fill(kBackground);
        QPainter margins(&m_margins);
        margins.setFont(p.font());
        // The value axis's labels; its lines are drawn with the plot.
        drawValueAxis(&margins, nullptr, state, m);
        margins.setPen(kAxisText);
        const QFontMetrics metrics = margins.fontMetrics();
        margins.drawText(
            QRect(0, plot.top() - metrics.height() * 3 / 2 - 2, kLeftMargin - 6, metrics.height()),
            Qt::AlignRight, valueTitle(state));
        const QString xTitle = key.axis == PlotState::XAxis::Records ? tr("record")
                               : key.clock ? tr("time since Start (h:mm:ss)")
                                           : tr("time since Start (s)");
        margins.drawText(QRect(plot.left(), size.height() - metrics.height() - 1, plot.width(),
                               metrics.height()),
                         Qt::AlignRight, xTitle);
        drawLegend(margins, size, state);
    }
    for (const QRect &margin : QRegion(QRect(QPoint(), size)).subtracted(plot)) {
        p.drawImage(margin, m_margins,
                    QRectF(QPointF(margin.topLeft()) * ratio, QSizeF(margin.size()) * ratio));
    }
}

void PlotPainter::drawTimeAxis(QPainter &labels, QPainter &lines, const PlotState &state,
                               const PlotState::Mapping &m)
{
    const QFontMetrics metrics = labels.fontMetrics();
    const int top = m.area.top;
    const int bottom = m.area.top + m.area.height - 1;
    // Time (or record) ticks about every 100 pixels.
    for (const AxisTicks::Tick &tick : AxisTicks::xTicks(
             state.xAxis(), m.from, m.to, std::max(2, m.area.width / 100), state.history())) {
        const int px = static_cast<int>(std::floor(m.pixelOfX(tick.at)));
        // The two painters may be one.
        lines.setPen(kGrid);
        lines.drawLine(px, top, px, bottom);
        labels.setPen(kAxisText);
        const QString label = QString::fromStdString(tick.label);
        labels.drawText(px - metrics.horizontalAdvance(label) / 2, bottom + metrics.ascent() + 4,
                        label);
    }
}

QString PlotPainter::valueTitle(const PlotState &state)
{
    const HistoryStore *h = state.history();
    if (const std::optional<int> k = state.axisUnitsChannel()) {
        return QString::fromStdString(state.units().unit(*k));
    }
    // Shown channels in different units: the axis stays in counts, and says so.
    for (int k = 0; h != nullptr && k < h->channelCount(); ++k) {
        if (state.channelShown(k) && state.units().scaled(k)) {
            return tr("counts");
        }
    }
    return {};
}

void PlotPainter::drawValueAxis(QPainter *labels, QPainter *lines, const PlotState &state,
                                const PlotState::Mapping &m)
{
    const int left = m.area.left;
    const int right = m.area.left + m.area.width - 1;
    // Value ticks about every 50 pixels.
    for (const AxisTicks::Tick &tick : state.valueTicks(m, std::max(2, m.area.height / 50))) {
        const int py = static_cast<int>(std::floor(m.pixelOfValue(tick.at)));
        if (lines != nullptr) {
            lines->setPen(kGrid);
            lines->drawLine(left, py, right, py);
        }
        if (labels != nullptr) {
            labels->setPen(kAxisText);
            const QFontMetrics metrics = labels->fontMetrics();
            const QString label = QString::fromStdString(tick.label);
            labels->drawText(left - 6 - metrics.horizontalAdvance(label),
                             py + metrics.ascent() / 2 - 1, label);
        }
    }
}

void PlotPainter::drawFewTraces(QPainter &inPlot, const PlotState &state,
                                const PlotState::Mapping &m)
{
    const HistoryStore *h = state.history();
    if (h == nullptr || h->empty()) {
        return;
    }
    // The parts of the plot being painted (all of it, or the columns at either side of a plot
    // moved by whole pixels), each with its records and clipped to it.
    for (const QRect &part : m_exposed.intersected(rectOf(m.area))) {
        auto [first, last] = state.recordsInView();
        const auto [from, to] =
            state.recordsIn(m.xAt(part.left() - 2.0), m.xAt(part.right() + 2.0));
        inPlot.setClipRect(part);
        drawLines(inPlot, state, m, std::max(first, from), std::min(last, to));
    }
}

void PlotPainter::drawLines(QPainter &inPlot, const PlotState &state, const PlotState::Mapping &m,
                            std::int64_t first, std::int64_t last)
{
    const HistoryStore *h = state.history();
    // Saturated and out-of-range values lie on the plot's edge, as on the main window.
    const double top = m.area.top + 0.5;
    const double bottom = m.area.top + m.area.height - 0.5;
    // A line through each record, and on to the neighbours outside.
    const std::int64_t a = std::max(h->first(), first - 1);
    const std::int64_t b = std::min(h->end(), last + 1);
    if (b <= a) {
        return;
    }
    inPlot.setRenderHint(QPainter::Antialiasing);
    QPolygonF points(static_cast<int>(b - a));
    for (int k = 0; k < h->channelCount(); ++k) {
        if (!state.channelShown(k)) {
            continue;
        }
        for (std::int64_t i = a; i < b; ++i) {
            points[static_cast<int>(i - a)] = QPointF(
                m.pixelOfX(state.xOf(i)), std::clamp(m.pixelOfValue(h->value(i, k)), top, bottom));
        }
        const QColor colour = channelColour(h->mode(), k);
        // One-pixel lines take the painter's fast path, antialiased or not.
        inPlot.setPen(QPen(colour, 1.0));
        inPlot.drawPolyline(points);
        const QRectF extent = points.boundingRect();
        if (extent.width() < 1.0 && extent.height() < 1.0) {
            // A lone record, or records of one time and value: a dot, whole even on the edge.
            const bool clipped = inPlot.hasClipping();
            inPlot.setClipping(false);
            inPlot.setPen(Qt::NoPen);
            inPlot.setBrush(colour);
            inPlot.drawEllipse(extent.center(), 3.0, 3.0);
            inPlot.setBrush(Qt::NoBrush);
            inPlot.setClipping(clipped);
        }
    }
}

void PlotPainter::drawManyTraces(const PlotState &state, const PlotState::Mapping &m)
{
    // Per pixel column the smallest and largest value of each channel, joined to the column
    // before by its last record, written straight into the plot's pixels.
    const HistoryStore &h = *state.history();
    state.columnRecords(m_bounds);
    const int columns = m.area.width;
    const int rows = m_plotImage.height();
    const auto height = static_cast<std::size_t>(rows);
    const auto rowOf = [&](float v) {
        return std::clamp(static_cast<int>(std::floor(m.pixelOfValue(v))) - m.area.top, 0,
                          rows - 1);
    };
    std::array<QRgb, HistoryStore::kMaxStoreChannels> colours{};
    for (int k = 0; k < h.channelCount(); ++k) {
        colours[static_cast<std::size_t>(k)] = channelColour(h.mode(), k).rgb();
    }
    // Each column's spans go into a buffer that holds the plot column by column (so that a
    // span is contiguous), then into the plot's rows; 0 is no trace.
    m_columns.assign(static_cast<std::size_t>(columns) * height, 0);
    HistoryStore::MinMax spans[HistoryStore::kMaxStoreChannels];
    for (int c = 0; c < columns; ++c) {
        const std::int64_t a = m_bounds[static_cast<std::size_t>(c)];
        const std::int64_t b = m_bounds[static_cast<std::size_t>(c) + 1];
        if (a >= b) {
            continue;
        }
        h.minMaxAll(a, b, spans);
        QRgb *column = m_columns.data() + static_cast<std::size_t>(c) * height;
        for (int k = 0; k < h.channelCount(); ++k) {
            if (!state.channelShown(k)) {
                continue;
            }
            HistoryStore::MinMax span = spans[k];
            if (a > h.first()) {
                span.add(static_cast<float>(h.value(a - 1, k)));
            }
            std::fill(column + rowOf(span.max), column + rowOf(span.min) + 1,
                      colours[static_cast<std::size_t>(k)]);
        }
    }
    copyColumns(columns);
}

void PlotPainter::copyColumns(int columns)
{
    const int rows = m_plotImage.height();
    const auto height = static_cast<std::size_t>(rows);
    // Sixteen columns at a time, so that both sides are read and written in whole cache lines.
    constexpr int kTile = 16;
    for (int c0 = 0; c0 < columns; c0 += kTile) {
        const int c1 = std::min(columns, c0 + kTile);
        for (int y = 0; y < rows; ++y) {
            auto *line = reinterpret_cast<QRgb *>(m_plotImage.scanLine(y));
            for (int c = c0; c < c1; ++c) {
                const QRgb pixel =
                    m_columns[static_cast<std::size_t>(c) * height + static_cast<std::size_t>(y)];
                if (pixel != 0) {
                    line[c] = pixel;
                }
            }
        }
    }
}

void PlotPainter::drawLegend(QPainter &p, QSize size, const PlotState &state)
{
    const QFontMetrics metrics = p.fontMetrics();
    const HistoryStore *h = state.history();
    const Mode mode = h != nullptr ? h->mode() : Mode::Int;
    const int channels = h != nullptr ? h->channelCount() : modeInfo(mode).channelCount;
    QString what;
    if (h != nullptr) {
        what = tr("%1, run %2")
                   .arg(QString::fromLatin1(RecordingFormat::modeName(mode)),
                        QString::number(h->run()));
        if (!state.isLive() && m_growing) {
            what = tr("PAUSED") + QStringLiteral("   ") + what;
        }
    }
    // The entries that fit beside it; the rest are counted.
    const int right = size.width() - kRightMargin - metrics.horizontalAdvance(what) -
                      metrics.horizontalAdvance(tr("+%1 more").arg(99)) - 20;
    int x = kLeftMargin;
    const int y = 6;
    int left = 0;
    for (int k = 0; k < HistoryStore::kMaxStoreChannels; ++k) {
        QRect &box = m_legendBoxes[static_cast<std::size_t>(k)];
        const QString name = channelName(state, k);
        box = QRect(x, y, 22 + metrics.horizontalAdvance(name) + 6, metrics.height() + 4);
        if (k >= channels || left > 0 || box.right() > right) {
            left += k < channels ? 1 : 0;
            box = QRect();
            continue;
        }
        const QColor colour = channelColour(mode, k);
        if (state.channelShown(k)) {
            p.fillRect(x + 2, y + box.height() / 2 - 2, 16, 4, colour);
            p.setPen(colour);
        } else {
            p.setPen(kGrid);
            p.drawRect(x + 2, y + box.height() / 2 - 2, 15, 3);
        }
        p.drawText(x + 22, y + 2 + metrics.ascent(), name);
        x = box.right() + 10;
    }
    p.setPen(kAxisText);
    if (left > 0) {
        p.drawText(x, y + 2 + metrics.ascent(), tr("+%1 more").arg(left));
    }
    p.drawText(QRect(x, y + 2, size.width() - kRightMargin - x, metrics.height()), Qt::AlignRight,
               what);
}

void PlotPainter::drawMarkerLines(QPainter &p, const PlotState &state, const PlotState::Mapping &m)
{
    const HistoryStore *h = state.history();
    if (h == nullptr) {
        return;
    }
    const QFontMetrics metrics = p.fontMetrics();
    const double top = m.area.top;
    const double bottom = m.area.top + m.area.height - 1;
    for (const auto &[which, name] : {std::pair(PlotState::Marker::A, QStringLiteral("A")),
                                      std::pair(PlotState::Marker::B, QStringLiteral("B"))}) {
        const std::optional<std::int64_t> i = state.marker(which);
        if (!i || *i < h->first() || *i >= h->end()) {
            continue;
        }
        const double px = m.pixelOfX(state.xOf(*i));
        if (px < m.area.left || px > m.area.left + m.area.width) {
            continue;
        }
        p.setPen(QPen(kMarker, 1, Qt::DashLine));
        p.drawLine(QPointF(px, top), QPointF(px, bottom));
        p.drawText(QPointF(px + 3, top + metrics.ascent() + 2), name);
    }
}

void PlotPainter::drawTriggerMarks(QPainter &p, const PlotState &state, const PlotState::Mapping &m)
{
    const HistoryStore *h = state.history();
    const std::optional<PlotState::Level> level = state.levelMark();
    if (h == nullptr || !level) {
        return;
    }
    const QColor colour = channelColour(h->mode(), level->channel);
    const QRect plot = rectOf(m.area);
    // The level: a dotted line across the plot and a handle on the value axis to drag.
    const double y =
        std::clamp(m.pixelOfValue(level->value), double(plot.top()), double(plot.bottom()));
    p.setPen(QPen(colour, 1, Qt::DotLine));
    p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    const double tip = plot.left() - 2;
    p.drawPolygon(QPolygonF({QPointF(tip, y), QPointF(tip - 8, y - 5), QPointF(tip - 8, y + 5)}));
    p.setBrush(Qt::NoBrush);
    const std::optional<PlotState::Held> &held = state.held();
    if (!held || !held->trigger || *held->trigger < h->first() || *held->trigger >= h->end()) {
        return;
    }
    // The trigger point: a line and a T at the top.
    const double px = m.pixelOfX(state.xOf(*held->trigger));
    if (px >= plot.left() && px <= plot.right()) {
        p.setPen(QPen(colour, 1, Qt::DashLine));
        p.drawLine(QPointF(px, plot.top()), QPointF(px, plot.bottom()));
        p.drawText(QPointF(px + 3, plot.bottom() - 4), QStringLiteral("T"));
    }
}

void PlotPainter::drawReadout(QPainter &p, const PlotState &state, const PlotState::Mapping &m,
                              std::optional<QPoint> mouse)
{
    const HistoryStore *h = state.history();
    if (h == nullptr || h->empty()) {
        return;
    }
    const QRect plot = rectOf(m.area);
    const std::optional<std::int64_t> at =
        mouse && plot.contains(*mouse) ? state.nearestRecord(mouse->x()) : std::nullopt;
    if (at) {
        const double px = m.pixelOfX(state.xOf(*at));
        p.setPen(QPen(kAxisText, 1, Qt::DotLine));
        p.drawLine(QPointF(px, plot.top()), QPointF(px, plot.bottom()));
        Pieces pieces{{timeText(*h, *at) + QStringLiteral("  #") + QString::number(h->count(*at)),
                       kAxisText}};
        for (int k = 0; k < h->channelCount(); ++k) {
            if (state.channelShown(k)) {
                pieces.emplace_back(channelName(state, k) + QLatin1Char(' ') +
                                        unitsText(state, k, h->value(*at, k)),
                                    channelColour(h->mode(), k));
            }
        }
        drawRow(p, 0, pieces);
    }
    const auto a = state.marker(PlotState::Marker::A);
    const auto b = state.marker(PlotState::Marker::B);
    if (a && b && *a >= h->first() && *b >= h->first()) {
        const QString seconds =
            QString::number(static_cast<double>(h->micros(*b) - h->micros(*a)) / 1e6, 'f', 6);
        Pieces pieces{{tr("B-A: %1 s, %2 records from A to B")
                           .arg(seconds, QString::number(std::abs(*b - *a) + 1)),
                       kMarker}};
        for (int k = 0; k < h->channelCount(); ++k) {
            if (state.channelShown(k)) {
                pieces.emplace_back(channelName(state, k) + QLatin1Char(' ') +
                                        differenceText(state, k, *a, *b),
                                    channelColour(h->mode(), k));
            }
        }
        drawRow(p, 1, pieces);
    } else if (a && *a >= h->first()) {
        drawRow(p, 1, {{tr("A at %1; Shift+click sets B").arg(timeText(*h, *a)), kMarker}});
    }
}

} // namespace adc
