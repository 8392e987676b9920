#include "ScopeView.h"

#include "RecordingFormat.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace adc {

namespace {

constexpr int kLeftMargin = 64;
constexpr int kRightMargin = 16;
constexpr int kTopMargin = 62; // the legend's row and the readout's two rows
constexpr int kBottomMargin = 34;
constexpr int kDragThreshold = 4;

const QColor kBackground(0x14, 0x17, 0x1c);
const QColor kPlotBackground(0x0b, 0x0d, 0x10);
const QColor kGrid(0x2c, 0x32, 0x3a);
const QColor kAxisText(0xb4, 0xbc, 0xc6);
const QColor kMarker(0xff, 0xff, 0xff);

/// The largest value a mode's board sends: the fixed value axis runs from 0 to it.
double fullScale(Mode mode)
{
    return modeInfo(mode).fullScale;
}

/// A step of 1, 2 or 5 times a power of ten that divides `span` into about `count` parts.
double niceStep(double span, int count)
{
    const double raw = span / count;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    const double f = raw / magnitude;
    return (f <= 1.0 ? 1.0 : f <= 2.0 ? 2.0 : f <= 5.0 ? 5.0 : 10.0) * magnitude;
}

/// A step for a clock axis (h:mm:ss): whole seconds, minutes or hours that read well.
double clockStep(double span, int count)
{
    static constexpr double kSteps[] = {1,   2,   5,    10,   15,   30,    60,    120,   300,
                                        600, 900, 1800, 3600, 7200, 10800, 21600, 43200, 86400};
    const double raw = span / count;
    for (double step : kSteps) {
        if (step >= raw) {
            return step;
        }
    }
    return niceStep(span, count);
}

/// Whether x of a seconds axis is written as h:mm:ss: for runs of an hour and more.
bool clockAxis(double from, double to)
{
    return std::max(std::abs(from), std::abs(to)) >= 3600.0 && to - from >= 10.0;
}

} // namespace

ScopeView::ScopeView(QWidget *parent) : QWidget(parent)
{
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(480, 300);
    m_frame.setSingleShot(true);
    m_frame.setInterval(kLiveRepaintMilliseconds);
    connect(&m_frame, &QTimer::timeout, this, &ScopeView::frameDue);
}

QColor ScopeView::channelColour(Mode mode, int channel)
{
    // The main window's colours, made light enough to read on the dark plot; its grey, which
    // would vanish among the grid lines, becomes orange.
    static const QColor kByPaletteNumber[16] = {
        {0xff, 0xff, 0xff}, {0x7a, 0x8c, 0xff}, {0x4c, 0xd9, 0x4c}, {0x3c, 0xd0, 0xd0},
        {0xff, 0x70, 0x70}, {0xe0, 0x70, 0xe0}, {0xd0, 0xc0, 0x50}, {0xdc, 0xdc, 0xdc},
        {0xff, 0x9f, 0x1c}, {0x5c, 0x9d, 0xff}, {0x5c, 0xf0, 0x5c}, {0x40, 0xe8, 0xe8},
        {0xff, 0x5a, 0x5a}, {0xff, 0x6b, 0xff}, {0xff, 0xe6, 0x4d}, {0xff, 0xff, 0xff}};
    const int number = modeInfo(mode).paletteNumbers[static_cast<std::size_t>(channel)];
    return kByPaletteNumber[number & 15];
}

void ScopeView::setHistory(const HistoryStore *history)
{
    m_history = history;
    m_markerA.reset();
    m_markerB.reset();
    m_live = true;
    m_liveAll = false;
    emit liveChanged(true);
    update();
}

void ScopeView::historyChanged()
{
    if (!m_frame.isActive()) {
        m_frame.start();
    }
}

void ScopeView::frameDue()
{
    if (m_live) {
        const QRect legend = m_legendBoxes[0];
        if (m_history == nullptr || m_history->run() != m_marginsKey.run ||
            m_history->mode() != m_marginsKey.mode || !legend.isValid()) {
            update();
        } else {
            // New records move the plot and the time axis below it, the value axis when it is
            // fitted, and the readout when it shows the record under the mouse or the markers.
            const QRect plot = plotRect();
            QRegion region(plot);
            region += QRect(0, plot.bottom() + 1, width(), height() - plot.bottom() - 1);
            if (m_valueScale == ValueScale::Fitted) {
                region += QRect(0, plot.top(), plot.left(), plot.height());
            }
            if (m_mouse || m_markerA || m_markerB) {
                region += QRect(0, legend.bottom() + 1, width(), plot.top() - legend.bottom() - 1);
            }
            update(region);
        }
    }
    emit viewChanged();
}

std::int64_t ScopeView::recordsSincePause() const
{
    return m_live || m_history == nullptr ? 0 : m_history->end() - m_endAtPause;
}

void ScopeView::freeze()
{
    if (!m_live) {
        return;
    }
    std::tie(m_from, m_to) = xRange();
    m_live = false;
    m_endAtPause = m_history != nullptr ? m_history->end() : 0;
    emit liveChanged(false);
    emit viewChanged();
}

void ScopeView::setLive(bool live)
{
    if (!live) {
        freeze();
        update();
        return;
    }
    if (!m_live) {
        m_live = true;
        m_liveAll = false;
        emit liveChanged(true);
        emit viewChanged();
    }
    update();
}

void ScopeView::fitAll()
{
    if (m_live) {
        m_liveAll = true;
    } else {
        std::tie(m_from, m_to) = wholeRange();
    }
    update();
}

void ScopeView::setXAxis(XAxis axis)
{
    if (axis == m_xAxis) {
        return;
    }
    // The same records stay in view.
    const auto [first, last] = recordsInView();
    m_xAxis = axis;
    m_window = axis == XAxis::Seconds ? kDefaultWindowSeconds : kDefaultWindowRecords;
    if (!m_live && m_history != nullptr && last > first) {
        m_from = xOf(first);
        m_to = std::max(xOf(last - 1), m_from + (axis == XAxis::Seconds ? 1e-3 : 1.0));
    }
    update();
}

void ScopeView::setValueScale(ValueScale scale)
{
    m_valueScale = scale;
    update();
}

void ScopeView::setChannelShown(int channel, bool shown)
{
    m_hidden[static_cast<std::size_t>(channel)] = !shown;
    update();
}

QRect ScopeView::plotRect() const
{
    return QRect(kLeftMargin, kTopMargin, std::max(1, width() - kLeftMargin - kRightMargin),
                 std::max(1, height() - kTopMargin - kBottomMargin));
}

double ScopeView::xOf(std::int64_t record) const
{
    return m_xAxis == XAxis::Seconds ? static_cast<double>(m_history->micros(record)) / 1e6
                                     : static_cast<double>(record);
}

std::pair<double, double> ScopeView::wholeRange() const
{
    if (m_history == nullptr || m_history->empty()) {
        return {0.0, m_window};
    }
    const double from = xOf(m_history->first());
    const double to = xOf(m_history->end() - 1);
    return {from, std::max(to, from + (m_xAxis == XAxis::Seconds ? 1e-3 : 1.0))};
}

std::pair<double, double> ScopeView::xRange() const
{
    if (!m_live) {
        return {m_from, m_to};
    }
    if (m_liveAll) {
        return wholeRange();
    }
    if (m_history == nullptr || m_history->empty()) {
        return {0.0, m_window};
    }
    // The newest record at the right edge, once the run is longer than the window.
    const double first = xOf(m_history->first());
    const double to = std::max(xOf(m_history->end() - 1), first + m_window);
    return {to - m_window, to};
}

std::pair<std::int64_t, std::int64_t> ScopeView::recordsInView() const
{
    if (m_history == nullptr) {
        return {0, 0};
    }
    const auto [from, to] = xRange();
    if (m_xAxis == XAxis::Seconds) {
        return {m_history->lowerBound(from * 1e6), m_history->lowerBound(to * 1e6 + 0.5)};
    }
    const auto clampRecord = [this](double x) {
        return static_cast<std::int64_t>(std::clamp(x, static_cast<double>(m_history->first()),
                                                    static_cast<double>(m_history->end())));
    };
    return {clampRecord(std::ceil(from)), clampRecord(std::floor(to) + 1.0)};
}

std::pair<double, double> ScopeView::fittedValues(double from, double to) const
{
    HistoryStore::MinMax all;
    if (m_history != nullptr) {
        std::vector<std::int64_t> bounds;
        m_history->columnBounds(m_xAxis, from, to, 1, bounds);
        const std::int64_t last = recordsInView().second;
        for (int k = 0; k < m_history->channelCount(); ++k) {
            if (channelShown(k)) {
                all.add(m_history->minMax(bounds[0], last, k));
            }
        }
    }
    const double top = fullScale(m_history != nullptr ? m_history->mode() : Mode::Int);
    if (all.empty()) {
        return {0.0, top};
    }
    double lo = all.min;
    double hi = std::isfinite(all.max) ? all.max : std::max(top, lo + 1.0);
    const double pad = hi > lo ? (hi - lo) * 0.05 : std::max(1.0, std::abs(lo) * 0.05);
    return {lo - pad, hi + pad};
}

std::pair<double, double> ScopeView::valueRange() const
{
    switch (m_valueScale) {
    case ValueScale::Zoomed:
        return {m_low, m_high};
    case ValueScale::Fitted: {
        const auto [from, to] = xRange();
        return fittedValues(from, to);
    }
    case ValueScale::Fixed:
        break;
    }
    return {0.0, fullScale(m_history != nullptr ? m_history->mode() : Mode::Int)};
}

double ScopeView::xAt(double px) const
{
    const QRect plot = plotRect();
    const auto [from, to] = xRange();
    return from + (px - plot.left()) / plot.width() * (to - from);
}

double ScopeView::pixelOfX(double x, const QRect &plot, double from, double to) const
{
    return plot.left() + (x - from) / (to - from) * plot.width();
}

std::optional<std::int64_t> ScopeView::nearestRecord(double px) const
{
    if (m_history == nullptr || m_history->empty()) {
        return std::nullopt;
    }
    const double x = xAt(px);
    std::int64_t i = m_xAxis == XAxis::Seconds ? m_history->lowerBound(x * 1e6)
                                               : static_cast<std::int64_t>(std::llround(x));
    i = std::clamp(i, m_history->first(), m_history->end() - 1);
    if (i > m_history->first() && std::abs(xOf(i - 1) - x) <= std::abs(xOf(i) - x)) {
        --i;
    }
    return i;
}

QString ScopeView::xText(double x, double step) const
{
    if (m_xAxis == XAxis::Records) {
        return QString::number(m_history != nullptr ? m_history->count(std::llround(x))
                                                    : std::llround(x) + 1);
    }
    const auto [from, to] = xRange();
    if (clockAxis(from, to)) {
        const auto total = static_cast<long long>(std::llround(x));
        const long long s = std::abs(total);
        return QStringLiteral("%1%2:%3:%4")
            .arg(total < 0 ? QStringLiteral("-") : QString())
            .arg(s / 3600)
            .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
            .arg(s % 60, 2, 10, QLatin1Char('0'));
    }
    const int decimals = std::clamp(static_cast<int>(-std::floor(std::log10(step) + 1e-9)), 0, 6);
    return QString::number(x, 'f', decimals);
}

QString ScopeView::valueText(double v) const
{
    // Exactly as the recording writes it.
    char text[RecordingFormat::kMaxValueLength];
    return QString::fromLatin1(text, RecordingFormat::writeValue(text, v) - text);
}

void ScopeView::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QRect plot = plotRect();
    const auto [from, to] = xRange();
    const auto [lo, hi] = valueRange();
    drawMargins(p, plot, from, to, lo, hi);
    const auto [first, last] = recordsInView();
    if (last - first > plot.width()) {
        // Many records: the plot area is drawn off screen (grid, then the traces written into
        // its pixels) and copied once.
        if (m_plotImage.size() != plot.size()) {
            m_plotImage = QImage(plot.size(), QImage::Format_RGB32);
        }
        m_plotImage.fill(kPlotBackground);
        {
            QPainter inPlot(&m_plotImage);
            inPlot.translate(-plot.topLeft());
            drawTimeAxis(p, inPlot, plot, from, to);
            drawValueAxis(nullptr, &inPlot, plot, lo, hi);
            drawTraces(inPlot, plot, from, to, lo, hi);
        }
        p.drawImage(plot.topLeft(), m_plotImage);
    } else {
        p.fillRect(plot, kPlotBackground);
        drawTimeAxis(p, p, plot, from, to);
        drawValueAxis(nullptr, &p, plot, lo, hi);
        p.save();
        p.setClipRect(plot);
        drawTraces(p, plot, from, to, lo, hi);
        p.restore();
    }
    p.setPen(kGrid);
    p.drawRect(plot.adjusted(0, 0, -1, -1));
    drawReadout(p, plot, from, to);
    if (m_history == nullptr || m_history->empty()) {
        p.setPen(kAxisText);
        p.drawText(plot, Qt::AlignCenter,
                   tr("No records yet: start a run with INT A/D Start or MCP3201 A/D Start."));
    }
}

void ScopeView::drawMargins(QPainter &p, const QRect &plot, double from, double to, double lo,
                            double hi)
{
    const qreal ratio = devicePixelRatioF();
    MarginsKey key{size(),
                   ratio,
                   font().key(),
                   m_history != nullptr,
                   m_history != nullptr ? m_history->mode() : Mode::Int,
                   m_history != nullptr ? m_history->run() : 0,
                   m_live,
                   m_hidden,
                   lo,
                   hi,
                   m_xAxis,
                   m_xAxis == XAxis::Seconds && clockAxis(from, to)};
    if (key != m_marginsKey || m_margins.isNull()) {
        m_marginsKey = key;
        m_margins = QImage(size() * ratio, QImage::Format_RGB32);
        m_margins.setDevicePixelRatio(ratio);
        m_margins.fill(kBackground);
        QPainter margins(&m_margins);
        margins.setFont(font());
        // The value axis's labels; its lines are drawn with the plot.
        drawValueAxis(&margins, nullptr, plot, lo, hi);
        margins.setPen(kAxisText);
        const QFontMetrics metrics = margins.fontMetrics();
        const QString xTitle = m_xAxis == XAxis::Records ? tr("record")
                               : key.clock               ? tr("time since Start (h:mm:ss)")
                                                         : tr("time since Start (s)");
        margins.drawText(
            QRect(plot.left(), height() - metrics.height() - 1, plot.width(), metrics.height()),
            Qt::AlignRight, xTitle);
        drawLegend(margins);
    }
    for (const QRect &margin : QRegion(rect()).subtracted(plot)) {
        p.drawImage(margin, m_margins,
                    QRectF(QPointF(margin.topLeft()) * ratio, QSizeF(margin.size()) * ratio));
    }
}

void ScopeView::drawTimeAxis(QPainter &p, QPainter &inPlot, const QRect &plot, double from,
                             double to)
{
    const QFontMetrics metrics = p.fontMetrics();
    // Time (or record) ticks about every 100 pixels.
    const int xCount = std::max(2, plot.width() / 100);
    const double xStep = m_xAxis == XAxis::Records ? std::max(1.0, niceStep(to - from, xCount))
                         : clockAxis(from, to)     ? clockStep(to - from, xCount)
                                                   : niceStep(to - from, xCount);
    for (double x = std::ceil(from / xStep) * xStep; x <= to; x += xStep) {
        const int px = static_cast<int>(std::lround(pixelOfX(x, plot, from, to)));
        // The two painters may be one.
        inPlot.setPen(kGrid);
        inPlot.drawLine(px, plot.top(), px, plot.bottom());
        p.setPen(kAxisText);
        const QString label = xText(x, xStep);
        p.drawText(px - metrics.horizontalAdvance(label) / 2, plot.bottom() + metrics.ascent() + 4,
                   label);
    }
}

void ScopeView::drawValueAxis(QPainter *labels, QPainter *lines, const QRect &plot, double lo,
                              double hi)
{
    // Value ticks about every 50 pixels.
    const double yStep = niceStep(hi - lo, std::max(2, plot.height() / 50));
    if (lines != nullptr) {
        lines->setPen(kGrid);
    }
    if (labels != nullptr) {
        labels->setPen(kAxisText);
    }
    for (double v = std::ceil(lo / yStep) * yStep; v <= hi; v += yStep) {
        const int py =
            static_cast<int>(std::lround(plot.bottom() + 1 - (v - lo) / (hi - lo) * plot.height()));
        if (lines != nullptr) {
            lines->drawLine(plot.left(), py, plot.right(), py);
        }
        if (labels != nullptr) {
            const QFontMetrics metrics = labels->fontMetrics();
            const QString label = QString::number(std::abs(v) < yStep * 1e-6 ? 0.0 : v, 'g', 7);
            labels->drawText(plot.left() - 6 - metrics.horizontalAdvance(label),
                             py + metrics.ascent() / 2 - 1, label);
        }
    }
}

void ScopeView::drawTraces(QPainter &inPlot, const QRect &plot, double from, double to, double lo,
                           double hi)
{
    if (m_history == nullptr || m_history->empty()) {
        return;
    }
    const HistoryStore &h = *m_history;
    const double scale = plot.height() / (hi - lo);
    const double bottom = plot.bottom() + 1;
    const auto yOf = [&](double v) {
        // Saturated and out-of-range values lie on the plot's edge, as on the main window.
        return std::clamp(bottom - (v - lo) * scale, plot.top() - 1.0, bottom + 1.0);
    };
    const auto [first, last] = recordsInView();
    const int columns = plot.width();
    if (last - first <= columns) {
        // Few records: a line through each of them, and on to the neighbours outside.
        const std::int64_t a = std::max(h.first(), first - 1);
        const std::int64_t b = std::min(h.end(), last + 1);
        inPlot.setRenderHint(QPainter::Antialiasing);
        QPolygonF points(static_cast<int>(b - a));
        for (int k = 0; k < h.channelCount(); ++k) {
            if (!channelShown(k)) {
                continue;
            }
            for (std::int64_t i = a; i < b; ++i) {
                points[static_cast<int>(i - a)] =
                    QPointF(pixelOfX(xOf(i), plot, from, to), yOf(h.value(i, k)));
            }
            // One-pixel lines take the painter's fast path, antialiased or not.
            inPlot.setPen(QPen(channelColour(h.mode(), k), 1.0));
            inPlot.drawPolyline(points);
        }
        return;
    }
    // Many records: per pixel column the smallest and largest value of each channel, joined to
    // the column before by its last record, written straight into the plot's pixels. With many
    // records per column the columns' edges go to whole index blocks (a fraction of a pixel).
    h.columnBounds(m_xAxis, from, to, columns, m_bounds);
    m_bounds.back() = last;
    // The block the columns' edges go to: the largest of a sixteenth of a column or less, so
    // that each column reads a few blocks of the upper levels and no single records.
    const std::int64_t perColumn = (last - first) / columns;
    std::int64_t snap = perColumn >= 2 * HistoryStore::kBlock ? HistoryStore::kBlock : 0;
    while (snap != 0 && snap * HistoryStore::kFanOut * 16 <= perColumn) {
        snap *= HistoryStore::kFanOut;
    }
    if (snap != 0) {
        for (std::int64_t &bound : m_bounds) {
            bound = std::clamp((bound + snap / 2) / snap * snap, first, last);
        }
    }
    const int channels = h.channelCount();
    std::array<QRgb, kMaxChannels> colours{};
    for (int k = 0; k < channels; ++k) {
        colours[static_cast<std::size_t>(k)] = channelColour(h.mode(), k).rgb();
    }
    // Each column's spans go into a buffer that holds the plot column by column (so that a
    // span is contiguous), then into the plot's rows; 0 is no trace.
    const int rows = m_plotImage.height();
    const auto height = static_cast<std::size_t>(rows);
    m_columns.assign(static_cast<std::size_t>(columns) * height, 0);
    HistoryStore::MinMax m[kMaxChannels];
    for (int c = 0; c < columns; ++c) {
        const std::int64_t a = m_bounds[static_cast<std::size_t>(c)];
        const std::int64_t b = m_bounds[static_cast<std::size_t>(c) + 1];
        if (a >= b) {
            continue;
        }
        h.minMaxAll(a, b, m);
        for (int k = 0; k < channels; ++k) {
            if (!channelShown(k)) {
                continue;
            }
            HistoryStore::MinMax span = m[k];
            if (a > h.first()) {
                span.add(static_cast<float>(h.value(a - 1, k)));
            }
            const int top =
                std::clamp(static_cast<int>(std::floor(yOf(span.max))) - plot.top(), 0, rows - 1);
            const int low =
                std::clamp(static_cast<int>(std::floor(yOf(span.min))) - plot.top(), 0, rows - 1);
            QRgb *column = m_columns.data() + static_cast<std::size_t>(c) * height;
            std::fill(column + top, column + low + 1, colours[static_cast<std::size_t>(k)]);
        }
    }
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

void ScopeView::drawLegend(QPainter &p)
{
    const QFontMetrics metrics = p.fontMetrics();
    const Mode mode = m_history != nullptr ? m_history->mode() : Mode::Int;
    const int channels = modeInfo(mode).channelCount;
    int x = kLeftMargin;
    const int y = 6;
    for (int k = 0; k < kMaxChannels; ++k) {
        QRect &box = m_legendBoxes[static_cast<std::size_t>(k)];
        if (k >= channels) {
            box = QRect();
            continue;
        }
        const QString name = QStringLiteral("ch%1").arg(k);
        box = QRect(x, y, 22 + metrics.horizontalAdvance(name) + 6, metrics.height() + 4);
        const QColor colour = channelColour(mode, k);
        if (channelShown(k)) {
            p.fillRect(x + 2, y + box.height() / 2 - 2, 16, 4, colour);
            p.setPen(colour);
        } else {
            p.setPen(kGrid);
            p.drawRect(x + 2, y + box.height() / 2 - 2, 15, 3);
        }
        p.drawText(x + 22, y + 2 + metrics.ascent(), name);
        x = box.right() + 10;
    }
    if (m_history != nullptr) {
        p.setPen(kAxisText);
        QString what = tr("%1, run %2")
                           .arg(QString::fromLatin1(RecordingFormat::modeName(m_history->mode())))
                           .arg(m_history->run());
        if (!m_live) {
            what = tr("PAUSED") + QStringLiteral("   ") + what;
        }
        p.drawText(QRect(x, y + 2, width() - kRightMargin - x, metrics.height()), Qt::AlignRight,
                   what);
    }
}

void ScopeView::drawReadout(QPainter &p, const QRect &plot, double from, double to)
{
    if (m_history == nullptr || m_history->empty()) {
        return;
    }
    const HistoryStore &h = *m_history;
    const QFontMetrics metrics = p.fontMetrics();
    const auto timeText = [&](std::int64_t i) {
        return QString::number(static_cast<double>(h.micros(i)) / 1e6, 'f', 6) +
               QStringLiteral(" s");
    };
    // One row of text in pieces of their own colour.
    const auto row = [&](int line, const std::vector<std::pair<QString, QColor>> &pieces) {
        int x = kLeftMargin;
        const int baseline = 28 + line * (metrics.height() + 1) + metrics.ascent();
        for (const auto &[text, colour] : pieces) {
            p.setPen(colour);
            p.drawText(x, baseline, text);
            x += metrics.horizontalAdvance(text) + 8;
        }
    };
    const auto marker = [&](std::int64_t i, const QString &name) {
        if (i < h.first() || i >= h.end()) {
            return;
        }
        const double px = pixelOfX(xOf(i), plot, from, to);
        if (px < plot.left() || px > plot.right()) {
            return;
        }
        p.setPen(QPen(kMarker, 1, Qt::DashLine));
        p.drawLine(QPointF(px, plot.top()), QPointF(px, plot.bottom()));
        p.drawText(QPointF(px + 3, plot.top() + metrics.ascent() + 2), name);
    };
    if (m_markerA) {
        marker(*m_markerA, QStringLiteral("A"));
    }
    if (m_markerB) {
        marker(*m_markerB, QStringLiteral("B"));
    }
    const std::optional<std::int64_t> at =
        m_mouse && plot.contains(*m_mouse) ? nearestRecord(m_mouse->x()) : std::nullopt;
    if (at) {
        const double px = pixelOfX(xOf(*at), plot, from, to);
        p.setPen(QPen(kAxisText, 1, Qt::DotLine));
        p.drawLine(QPointF(px, plot.top()), QPointF(px, plot.bottom()));
        std::vector<std::pair<QString, QColor>> pieces{
            {timeText(*at) + QStringLiteral("  #") + QString::number(h.count(*at)), kAxisText}};
        for (int k = 0; k < h.channelCount(); ++k) {
            if (channelShown(k)) {
                pieces.emplace_back(
                    QStringLiteral("ch%1 %2").arg(k).arg(valueText(h.value(*at, k))),
                    channelColour(h.mode(), k));
            }
        }
        row(0, pieces);
    }
    if (m_markerA && m_markerB && *m_markerA >= h.first() && *m_markerB >= h.first()) {
        const std::int64_t a = *m_markerA;
        const std::int64_t b = *m_markerB;
        std::vector<std::pair<QString, QColor>> pieces{
            {tr("B-A: %1 s, %2 records")
                 .arg(QString::number(static_cast<double>(h.micros(b) - h.micros(a)) / 1e6, 'f', 6))
                 .arg(b - a),
             kMarker}};
        for (int k = 0; k < h.channelCount(); ++k) {
            if (channelShown(k)) {
                pieces.emplace_back(QStringLiteral("ch%1 %2").arg(k).arg(
                                        QString::number(h.value(b, k) - h.value(a, k), 'g', 10)),
                                    channelColour(h.mode(), k));
            }
        }
        row(1, pieces);
    } else if (m_markerA && *m_markerA >= h.first()) {
        row(1, {{tr("A at %1; Shift+click sets B").arg(timeText(*m_markerA)), kMarker}});
    }
}

void ScopeView::wheelEvent(QWheelEvent *event)
{
    const double steps = event->angleDelta().y() / 120.0;
    if (steps == 0.0) {
        return;
    }
    const double factor = std::pow(0.8, steps);
    const QPointF at = event->position();
    if (event->modifiers() & Qt::ControlModifier) {
        const QRect plot = plotRect();
        const auto [lo, hi] = valueRange();
        const double v = lo + (plot.bottom() + 1 - at.y()) / plot.height() * (hi - lo);
        m_low = v - (v - lo) * factor;
        m_high = v + (hi - v) * factor;
        m_valueScale = ValueScale::Zoomed;
    } else if (m_live) {
        // Live: the window grows or shrinks; its right edge stays with the newest record.
        if (m_liveAll) {
            const auto [from, to] = xRange();
            m_window = to - from;
            m_liveAll = false;
        }
        m_window = std::max(m_window * factor, m_xAxis == XAxis::Seconds ? 1e-3 : 2.0);
    } else {
        // The x under the mouse stays under it.
        const double x = xAt(at.x());
        m_from = x - (x - m_from) * factor;
        m_to = x + (m_to - x) * factor;
    }
    event->accept();
    update();
    emit viewChanged();
}

void ScopeView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        return;
    }
    for (int k = 0; k < kMaxChannels; ++k) {
        if (m_legendBoxes[static_cast<std::size_t>(k)].contains(event->position().toPoint())) {
            setChannelShown(k, !channelShown(k));
            return;
        }
    }
    m_pressAt = event->position().toPoint();
    m_dragged = false;
    std::tie(m_dragFrom, m_dragTo) = xRange();
}

void ScopeView::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint at = event->position().toPoint();
    if (m_pressAt && (event->buttons() & Qt::LeftButton)) {
        const int dx = at.x() - m_pressAt->x();
        if (m_dragged || std::abs(dx) >= kDragThreshold) {
            if (!m_dragged) {
                freeze();
                m_dragged = true;
            }
            const double shift =
                dx / static_cast<double>(plotRect().width()) * (m_dragTo - m_dragFrom);
            m_from = m_dragFrom - shift;
            m_to = m_dragTo - shift;
            emit viewChanged();
        }
    }
    const auto before = m_mouse ? nearestRecord(m_mouse->x()) : std::nullopt;
    const bool wasIn = m_mouse && plotRect().contains(*m_mouse);
    m_mouse = at;
    // The readout changes only when another record is nearest.
    if (m_dragged || before != nearestRecord(at.x()) || wasIn != plotRect().contains(at)) {
        update();
    }
}

void ScopeView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_pressAt) {
        return;
    }
    if (!m_dragged && plotRect().contains(*m_pressAt)) {
        const std::optional<std::int64_t> i = nearestRecord(m_pressAt->x());
        if (i) {
            (event->modifiers() & Qt::ShiftModifier ? m_markerB : m_markerA) = *i;
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
