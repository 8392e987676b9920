#include "PlotState.h"

#include <algorithm>
#include <cmath>

namespace adc {

namespace {

/// The shortest x range: a millisecond, or one record.
double minimumSpan(PlotState::XAxis axis)
{
    return axis == PlotState::XAxis::Seconds ? 1e-3 : 1.0;
}

} // namespace

double PlotState::fullScale(Mode mode)
{
    return modeInfo(mode).fullScale;
}

PlotState::Mapping::Mapping(const Area &area, std::pair<double, double> x,
                            std::pair<double, double> values)
    : area(area), from(x.first), to(x.second), lo(values.first), hi(values.second),
      m_x0(area.left + 0.5), m_xScale(std::max(1, area.width - 1) / (to - from)),
      m_y0(area.top + 0.5), m_yScale(std::max(1, area.height - 1) / (hi - lo))
{
}

void PlotState::setHistory(const HistoryStore *history)
{
    m_history = history;
    forgetRun();
}

PlotState::RunKey PlotState::runKey() const
{
    if (m_history == nullptr) {
        return {};
    }
    return {m_history->run(), m_history->startTime(), m_history->mode()};
}

bool PlotState::followRun()
{
    if (m_history == nullptr) {
        return false;
    }
    if (runKey() == m_runKey && m_history->end() >= m_seenEnd) {
        m_seenEnd = m_history->end();
        return false;
    }
    forgetRun();
    return true;
}

void PlotState::forgetRun()
{
    m_runKey = runKey();
    m_seenEnd = m_history != nullptr ? m_history->end() : 0;
    m_markerA.reset();
    m_markerB.reset();
    m_held.reset();
    m_valueScale = m_chosenScale;
    m_live = true;
    m_liveAll = false;
}

bool PlotState::setLive(bool live)
{
    if (live == m_live) {
        return false;
    }
    if (!live) {
        std::tie(m_from, m_to) = xRange();
        m_endAtPause = m_history != nullptr ? m_history->end() : 0;
    }
    m_live = live;
    m_liveAll = false;
    return true;
}

std::int64_t PlotState::recordsSincePause() const
{
    return m_live || m_history == nullptr ? 0 : m_history->end() - m_endAtPause;
}

void PlotState::fitAll()
{
    if (m_live) {
        m_liveAll = true;
    } else {
        std::tie(m_from, m_to) = wholeRange();
    }
}

void PlotState::showRecords(std::int64_t first, std::int64_t last)
{
    setLive(false);
    if (m_history != nullptr && last > first) {
        std::tie(m_from, m_to) = rangeOf(first, last);
    }
}

void PlotState::setXAxis(XAxis axis)
{
    if (axis == m_xAxis) {
        return;
    }
    const auto [first, last] = recordsInView();
    m_xAxis = axis;
    m_window = axis == XAxis::Seconds ? kDefaultWindowSeconds : kDefaultWindowRecords;
    if (!m_live && m_history != nullptr && last > first) {
        std::tie(m_from, m_to) = rangeOf(first, last);
    }
}

void PlotState::setValueScale(ValueScale scale)
{
    m_valueScale = scale;
    if (scale != ValueScale::Zoomed) {
        m_chosenScale = scale;
    }
}

void PlotState::setChannelShown(int channel, bool shown)
{
    m_hidden[static_cast<std::size_t>(channel)] = !shown;
}

double PlotState::xOf(std::int64_t record) const
{
    return m_xAxis == XAxis::Seconds ? static_cast<double>(m_history->micros(record)) / 1e6
                                     : static_cast<double>(record);
}

std::pair<double, double> PlotState::rangeOf(std::int64_t first, std::int64_t last) const
{
    // Records that share one x (a lone record too) stand in the middle of the shortest range.
    const double from = xOf(first);
    const double to = xOf(last - 1);
    const double gap = minimumSpan(m_xAxis) - (to - from);
    return gap > 0.0 ? std::pair(from - gap / 2, to + gap / 2) : std::pair(from, to);
}

std::pair<double, double> PlotState::heldRange() const
{
    if (m_xAxis == XAxis::Records) {
        // The stretch as it is, the trigger at its share even early in the run.
        return {static_cast<double>(m_held->start), static_cast<double>(m_held->end - 1)};
    }
    const std::int64_t first = std::clamp(m_held->start, m_history->first(), m_history->end() - 1);
    const std::int64_t last = std::clamp(m_held->end, first + 1, m_history->end());
    return rangeOf(first, last);
}

std::int64_t PlotState::windowRecords() const
{
    if (m_xAxis == XAxis::Records) {
        return std::max<std::int64_t>(2, std::llround(m_window));
    }
    if (m_history == nullptr || m_history->end() - m_history->first() < 2) {
        return static_cast<std::int64_t>(kDefaultWindowRecords);
    }
    const std::int64_t first = m_history->first();
    const std::int64_t last = m_history->end() - 1;
    const double seconds =
        static_cast<double>(m_history->micros(last) - m_history->micros(first)) / 1e6;
    if (seconds <= 0.0) {
        return static_cast<std::int64_t>(kDefaultWindowRecords);
    }
    const double perSecond = static_cast<double>(last - first) / seconds;
    return std::clamp<std::int64_t>(std::llround(m_window * perSecond), 2, m_history->capacity());
}

std::pair<double, double> PlotState::wholeRange() const
{
    if (m_history == nullptr || m_history->empty()) {
        return {0.0, m_window};
    }
    return rangeOf(m_history->first(), m_history->end());
}

std::pair<double, double> PlotState::xRange() const
{
    if (!m_live) {
        return {m_from, m_to};
    }
    if (m_liveAll || m_history == nullptr || m_history->empty()) {
        return wholeRange();
    }
    if (m_held) {
        return heldRange();
    }
    // The newest record at the right edge, once the run is longer than the window.
    const double first = xOf(m_history->first());
    double to = std::max(xOf(m_history->end() - 1), first + m_window);
    if (m_pixelSteps && m_area.width > 1) {
        const double column = m_window / (m_area.width - 1);
        to = std::ceil(to / column) * column;
    }
    return {to - m_window, to};
}

std::pair<std::int64_t, std::int64_t> PlotState::recordsInView() const
{
    const auto [from, to] = xRange();
    return recordsIn(from, to);
}

std::pair<std::int64_t, std::int64_t> PlotState::recordsIn(double from, double to) const
{
    if (m_history == nullptr) {
        return {0, 0};
    }
    if (m_xAxis == XAxis::Seconds) {
        // Times are whole microseconds; the range's ends, from seconds, may miss them by a
        // rounding.
        return {m_history->lowerBound(from * 1e6 - 0.5), m_history->lowerBound(to * 1e6 + 0.5)};
    }
    const auto clampRecord = [this](double x) {
        return static_cast<std::int64_t>(std::clamp(x, static_cast<double>(m_history->first()),
                                                    static_cast<double>(m_history->end())));
    };
    return {clampRecord(std::ceil(from - 1e-6)), clampRecord(std::floor(to + 1e-6) + 1.0)};
}

std::pair<double, double> PlotState::fittedValues() const
{
    HistoryStore::MinMax all;
    if (m_history != nullptr) {
        const auto [first, last] = recordsInView();
        for (int k = 0; k < m_history->channelCount(); ++k) {
            if (channelShown(k)) {
                all.add(m_history->minMax(first, last, k));
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

std::pair<double, double> PlotState::valueRange() const
{
    switch (m_valueScale) {
    case ValueScale::Zoomed:
        return {m_low, m_high};
    case ValueScale::Fitted:
        return fittedValues();
    case ValueScale::Fixed:
        break;
    }
    return {0.0, fullScale(m_history != nullptr ? m_history->mode() : Mode::Int)};
}

PlotState::Mapping PlotState::mapping() const
{
    return Mapping(m_area, xRange(), valueRange());
}

std::optional<std::int64_t> PlotState::nearestRecord(double px) const
{
    if (m_history == nullptr || m_history->empty()) {
        return std::nullopt;
    }
    const double x = mapping().xAt(px);
    std::int64_t i = m_xAxis == XAxis::Seconds ? m_history->lowerBound(x * 1e6)
                                               : static_cast<std::int64_t>(std::llround(x));
    i = std::clamp(i, m_history->first(), m_history->end() - 1);
    if (i > m_history->first() && std::abs(xOf(i - 1) - x) <= std::abs(xOf(i) - x)) {
        --i;
    }
    return i;
}

void PlotState::columnRecords(std::vector<std::int64_t> &bounds) const
{
    const int columns = m_area.width;
    if (m_history == nullptr) {
        bounds.assign(static_cast<std::size_t>(columns) + 1, 0);
        return;
    }
    const auto [first, last] = recordsInView();
    // Column c is centred on its x: it reaches half a column to either side.
    const auto [from, to] = xRange();
    const double half = (to - from) / std::max(1, columns - 1) / 2;
    m_history->columnBounds(m_xAxis, from - half, to + half, columns, bounds);
    // The edges between columns go to the largest block of a sixteenth of a column or less, so
    // that each column reads a few blocks of the index's upper levels and no single records.
    const std::int64_t perColumn = (last - first) / columns;
    std::int64_t snap = perColumn >= 2 * HistoryStore::kBlock ? HistoryStore::kBlock : 1;
    while (snap > 1 && snap * HistoryStore::kFanOut * 16 <= perColumn) {
        snap *= HistoryStore::kFanOut;
    }
    for (std::int64_t &bound : bounds) {
        bound = std::clamp(snap > 1 ? (bound + snap / 2) / snap * snap : bound, first, last);
    }
    bounds.front() = first;
    bounds.back() = last;
}

void PlotState::zoomTime(double px, double factor)
{
    if (m_live) {
        // The window grows or shrinks; its right edge stays with the newest record.
        if (m_liveAll) {
            const auto [from, to] = xRange();
            m_window = to - from;
            m_liveAll = false;
        }
        m_window = std::max(m_window * factor, m_xAxis == XAxis::Seconds ? 1e-3 : 2.0);
        return;
    }
    const double x = mapping().xAt(px);
    m_from = x - (x - m_from) * factor;
    m_to = x + (m_to - x) * factor;
}

void PlotState::zoomValues(double py, double factor)
{
    const Mapping m = mapping();
    const double v = m.valueAt(py);
    m_low = v - (v - m.lo) * factor;
    m_high = v + (m.hi - v) * factor;
    m_valueScale = ValueScale::Zoomed;
}

void PlotState::beginPan()
{
    std::tie(m_panFrom, m_panTo) = xRange();
}

void PlotState::panBy(double dx)
{
    setLive(false);
    const double shift = dx / std::max(1, m_area.width - 1) * (m_panTo - m_panFrom);
    m_from = m_panFrom - shift;
    m_to = m_panTo - shift;
}

std::optional<std::int64_t> PlotState::marker(Marker which) const
{
    return which == Marker::A ? m_markerA : m_markerB;
}

void PlotState::setMarker(Marker which, std::int64_t record)
{
    (which == Marker::A ? m_markerA : m_markerB) = record;
}

std::string PlotState::channelName(int channel) const
{
    const auto k = static_cast<std::size_t>(channel);
    if (m_history != nullptr && k < m_history->names().size()) {
        return m_units.name(channel, m_history->names()[k]);
    }
    return m_units.name(channel, "ch" + std::to_string(channel));
}

std::optional<int> PlotState::axisUnitsChannel() const
{
    if (m_history == nullptr) {
        return std::nullopt;
    }
    std::optional<int> first;
    for (int k = 0; k < m_history->channelCount(); ++k) {
        if (!channelShown(k)) {
            continue;
        }
        if (!first) {
            first = k;
        } else if (!m_units.sameScale(*first, k)) {
            return std::nullopt;
        }
    }
    return first && m_units.scaled(*first) ? first : std::nullopt;
}

std::vector<AxisTicks::Tick> PlotState::valueTicks(const Mapping &m, int count) const
{
    const std::optional<int> k = axisUnitsChannel();
    if (!k) {
        return AxisTicks::valueTicks(m.lo, m.hi, count);
    }
    // A negative gain turns the axis upside down in units.
    const double a = m_units.toUnits(*k, m.lo);
    const double b = m_units.toUnits(*k, m.hi);
    std::vector<AxisTicks::Tick> ticks =
        AxisTicks::valueTicks(std::min(a, b), std::max(a, b), count);
    for (AxisTicks::Tick &tick : ticks) {
        tick.at = m_units.toRaw(*k, tick.at);
    }
    return ticks;
}

} // namespace adc
