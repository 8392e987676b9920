#include "RangeMeasurement.h"

#include "CrossingCounter.h"

#include <algorithm>
#include <cmath>

namespace adc {

namespace {

// The hysteresis on each side of the mean, as a share of the standard deviation: wide enough
// that noise and what is left of a fast signal in block means make no crossing, narrow enough
// for any signal that swings about its mean.
constexpr double kBandShare = 0.2;

} // namespace

Measurement RangeMeasurement::measure(std::int64_t from, std::int64_t to, int channel) const
{
    Measurement m;
    m.channel = channel;
    from = std::max(from, m_history.first());
    to = std::min(to, m_history.end());
    if (from >= to || channel < 0 || channel >= m_history.channelCount()) {
        return m;
    }
    m.records = to - from;
    const HistoryStore::Sums sums = m_history.sums(from, to, channel);
    const HistoryStore::MinMax extremes = m_history.minMax(from, to, channel);
    double meanSquare = 0;
    if (sums.count > 0) {
        const auto n = static_cast<double>(sums.count);
        m.mean = sums.sum / n;
        meanSquare = sums.sumSquares / n;
        m.std = std::sqrt(std::max(0.0, meanSquare - m.mean * m.mean));
        m.rms = std::sqrt(meanSquare);
        m.frequency = frequency(from, to, channel, m.mean, m.std);
    }
    if (!extremes.empty()) {
        m.min = extremes.min;
        m.max = extremes.max;
    }
    toUnits(m, meanSquare);
    return m;
}

void RangeMeasurement::toUnits(Measurement &m, double meanSquare) const
{
    if (m_units == nullptr || !m_units->scaled(m.channel)) {
        m.peakToPeak = m.max - m.min;
        return;
    }
    const ChannelUnits::Channel &c = m_units->channel(m.channel);
    const double a = c.gain * m.min + c.offset;
    const double b = c.gain * m.max + c.offset;
    m.min = std::min(a, b);
    m.max = std::max(a, b);
    m.peakToPeak = m.max - m.min;
    // The mean square of gain x v + offset, from the mean and mean square of v.
    const double square =
        c.gain * c.gain * meanSquare + 2 * c.gain * c.offset * m.mean + c.offset * c.offset;
    m.mean = c.gain * m.mean + c.offset;
    m.std = std::abs(c.gain) * m.std;
    m.rms = std::sqrt(std::max(0.0, square));
}

std::optional<double> RangeMeasurement::frequency(std::int64_t from, std::int64_t to, int channel,
                                                  double mean, double std) const
{
    const double band = kBandShare * std;
    if (!(band > 0)) {
        return std::nullopt;
    }
    CrossingCounter counter(mean, band);
    const std::int64_t length = to - from;
    const std::int64_t windows = length <= kMaxReads ? 1 : kWindows;
    const std::int64_t window = std::min(length, kMaxReads / windows);
    for (std::int64_t w = 0; w < windows; ++w) {
        // Windows spread evenly, the first at the range's start and the last at its end.
        const std::int64_t start =
            windows == 1 ? from : from + (length - window) / (windows - 1) * w;
        counter.restart();
        m_history.forEach(start, start + window, channel,
                          [&counter](std::int64_t micros, double v) { counter.add(micros, v); });
    }
    if (windows == 1 || counter.frequency()) {
        return counter.frequency();
    }
    return frequencyOfBlocks(from, to, channel, mean, band);
}

std::optional<double> RangeMeasurement::frequencyOfBlocks(std::int64_t from, std::int64_t to,
                                                          int channel, double mean,
                                                          double band) const
{
    const std::int64_t size = m_history.blockSize((to - from + kMaxBlocks - 1) / kMaxBlocks);
    CrossingCounter counter(mean, band);
    m_history.forEachBlock(from, to, size, channel,
                           [&](std::int64_t first, const HistoryStore::Sums &s) {
                               if (s.count > 0) {
                                   counter.add(m_history.micros(first + size / 2),
                                               s.sum / static_cast<double>(s.count));
                               }
                           });
    return counter.frequency();
}

} // namespace adc
