#include "HistoryStore.h"

#include <algorithm>
#include <cmath>

namespace adc {

namespace {

constexpr std::size_t kPair = 2 * kMaxChannels;

} // namespace

HistoryStore::HistoryStore(std::int64_t capacity, Clocks clocks)
    : m_capacity(std::max<std::int64_t>(capacity, 1)), m_clocks(clocks)
{
    // Levels up to the one whose blocks span the whole capacity; each keeps one block more than
    // the capacity spans, so that no block still wholly kept is written over.
    for (std::int64_t size = kBlock;; size *= kFanOut) {
        m_levels.push_back({size, m_capacity / size + 2, {}});
        if (size >= m_capacity) {
            break;
        }
    }
    clear(Mode::Int);
}

void HistoryStore::runStarted(Mode mode)
{
    clear(mode);
    ++m_run;
    m_start = m_clocks.monotonic();
    m_startWall = m_clocks.wall();
}

void HistoryStore::startRun(Mode mode, std::int64_t run,
                            std::chrono::system_clock::time_point start)
{
    clear(mode);
    m_run = run;
    m_startWall = start;
}

void HistoryStore::clear(Mode mode)
{
    m_mode = mode;
    m_channels = modeInfo(mode).channelCount;
    m_takenMicros = 0;
    m_end = 0;
    m_nextSlot = 0;
    m_countBase = 0;
    if (!m_micros) {
        // Left unwritten: the pages become resident as records come, and stay so once full.
        m_micros =
            std::make_unique_for_overwrite<std::int64_t[]>(static_cast<std::size_t>(m_capacity));
        m_values = std::make_unique_for_overwrite<double[]>(static_cast<std::size_t>(m_capacity) *
                                                            kMaxChannels);
    }
    for (Level &level : m_levels) {
        level.minMax.reserve(static_cast<std::size_t>(level.blocks) * kPair);
        level.minMax.clear();
    }
}

void HistoryStore::charactersTaken()
{
    m_takenMicros =
        std::chrono::duration_cast<std::chrono::microseconds>(m_clocks.monotonic() - m_start)
            .count();
}

void HistoryStore::recordAccepted(const AcceptedRecord &record)
{
    append(m_takenMicros, record.count, record.values);
}

void HistoryStore::append(std::int64_t micros, std::int64_t count, std::span<const double> values)
{
    if (m_end == 0) {
        m_countBase = count;
    }
    const auto channels = static_cast<std::size_t>(m_channels);
    double *row = m_values.get() + m_nextSlot * channels;
    if (channels == kMaxChannels && values.size() >= kMaxChannels) {
        std::copy_n(values.data(), kMaxChannels, row);
    } else {
        const std::size_t given = std::min(values.size(), channels);
        std::copy_n(values.data(), given, row);
        std::fill(row + given, row + channels, 0.0);
    }
    m_micros[m_nextSlot] = micros;
    m_nextSlot = m_nextSlot + 1 == static_cast<std::size_t>(m_capacity) ? 0 : m_nextSlot + 1;
    ++m_end;
    // The index takes whole blocks: the lowest level's block once its last record is in.
    if ((m_end & (kBlock - 1)) == 0) {
        indexBlock(m_end / kBlock - 1);
    }
}

float *HistoryStore::block(std::size_t level, std::int64_t number)
{
    Level &l = m_levels[level];
    const auto at = static_cast<std::size_t>(number % l.blocks) * kPair;
    if (l.minMax.size() < at + kPair) {
        l.minMax.resize(at + kPair);
    }
    return l.minMax.data() + at;
}

const float *HistoryStore::block(std::size_t level, std::int64_t number) const
{
    const Level &l = m_levels[level];
    return l.minMax.data() + static_cast<std::size_t>(number % l.blocks) * kPair;
}

template <std::size_t Channels> void HistoryStore::reduceBlock(std::size_t at, float *out) const
{
    // Channels known at compile time let the compiler keep each channel's min and max in
    // registers across the block's rows; 0 stands for the mode's count.
    const std::size_t channels = Channels != 0 ? Channels : static_cast<std::size_t>(m_channels);
    const auto capacity = static_cast<std::size_t>(m_capacity);
    float lo[kMaxChannels];
    float hi[kMaxChannels];
    const double *row = m_values.get() + at * channels;
    for (std::size_t k = 0; k < channels; ++k) {
        lo[k] = hi[k] = static_cast<float>(row[k]);
    }
    for (std::int64_t r = 1; r < kBlock; ++r) {
        at = at + 1 == capacity ? 0 : at + 1;
        row = m_values.get() + at * channels;
        for (std::size_t k = 0; k < channels; ++k) {
            const auto v = static_cast<float>(row[k]);
            lo[k] = v < lo[k] ? v : lo[k];
            hi[k] = v > hi[k] ? v : hi[k];
        }
    }
    for (std::size_t k = 0; k < channels; ++k) {
        out[2 * k] = lo[k];
        out[2 * k + 1] = hi[k];
    }
}

void HistoryStore::indexBlock(std::int64_t number)
{
    const auto channels = static_cast<std::size_t>(m_channels);
    // A capacity under one block leaves this block's first records written over; such a block
    // is never read, as no whole block is kept.
    const std::size_t at = slot(number * kBlock);
    float *b = block(0, number);
    if (channels == kMaxChannels) {
        reduceBlock<kMaxChannels>(at, b);
    } else if (channels == 2) {
        reduceBlock<2>(at, b);
    } else {
        reduceBlock<0>(at, b);
    }
    // A block that is complete now goes into the block above it, and so on up.
    const std::int64_t i = m_end - 1;
    for (std::size_t level = 0; level + 1 < m_levels.size(); ++level) {
        // Block sizes are powers of two.
        const std::int64_t size = m_levels[level].size;
        if (((i + 1) & (size - 1)) != 0) {
            break;
        }
        const std::int64_t done = i / size;
        const float *low = block(level, done);
        float *up = block(level + 1, done / kFanOut);
        const bool opensUp = done % kFanOut == 0;
        for (std::size_t k = 0; k < channels; ++k) {
            up[2 * k] = opensUp ? low[2 * k] : std::min(up[2 * k], low[2 * k]);
            up[2 * k + 1] = opensUp ? low[2 * k + 1] : std::max(up[2 * k + 1], low[2 * k + 1]);
        }
    }
}

std::int64_t HistoryStore::lowerBound(double micros) const
{
    return lowerBound(micros, first(), m_end);
}

std::int64_t HistoryStore::lowerBound(double micros, std::int64_t lo, std::int64_t hi) const
{
    while (lo < hi) {
        const std::int64_t mid = lo + (hi - lo) / 2;
        if (static_cast<double>(m_micros[slot(mid)]) < micros) {
            lo = mid + 1;
        } else {
            hi = mid;
        }
    }
    return lo;
}

HistoryStore::MinMax HistoryStore::minMax(std::int64_t from, std::int64_t to, int channel) const
{
    MinMax all[kMaxChannels];
    minMaxAll(from, to, all);
    return all[channel];
}

void HistoryStore::minMaxAll(std::int64_t from, std::int64_t to, MinMax *perChannel) const
{
    const auto channels = static_cast<std::size_t>(m_channels);
    std::fill_n(perChannel, channels, MinMax{});
    from = std::max(from, first());
    to = std::min(to, m_end);
    std::int64_t i = from;
    while (i < to) {
        if (i % kBlock != 0 || i + kBlock > to) {
            // Single records up to the next block boundary (or the range's end).
            const std::int64_t stop = std::min(to, (i / kBlock + 1) * kBlock);
            for (; i < stop; ++i) {
                const double *row = m_values.get() + slot(i) * channels;
                for (std::size_t k = 0; k < channels; ++k) {
                    perChannel[k].add(static_cast<float>(row[k]));
                }
            }
            continue;
        }
        // The largest whole block that starts here and ends within the range.
        std::size_t level = 0;
        while (level + 1 < m_levels.size() && i % m_levels[level + 1].size == 0 &&
               i + m_levels[level + 1].size <= to) {
            ++level;
        }
        const float *b = block(level, i / m_levels[level].size);
        for (std::size_t k = 0; k < channels; ++k) {
            perChannel[k].add(MinMax{b[2 * k], b[2 * k + 1]});
        }
        i += m_levels[level].size;
    }
}

void HistoryStore::columnBounds(XAxis axis, double from, double to, int columns,
                                std::vector<std::int64_t> &bounds) const
{
    bounds.resize(static_cast<std::size_t>(std::max(columns, 0)) + 1);
    const double width = (to - from) / std::max(columns, 1);
    for (std::size_t c = 0; c < bounds.size(); ++c) {
        const double x = from + static_cast<double>(c) * width;
        if (axis == XAxis::Seconds) {
            // The bounds grow with c: each search starts from the one before, galloping.
            const std::int64_t previous = c == 0 ? first() : bounds[c - 1];
            std::int64_t step = 1;
            std::int64_t hi = previous;
            while (hi < m_end && static_cast<double>(m_micros[slot(hi)]) < x * 1e6) {
                hi = previous + step;
                step *= 2;
            }
            bounds[c] = lowerBound(x * 1e6, previous, std::min(hi, m_end));
        } else {
            const double i = std::ceil(x);
            bounds[c] = std::clamp(i < -1e18  ? first()
                                   : i > 1e18 ? m_end
                                              : static_cast<std::int64_t>(i),
                                   first(), m_end);
        }
    }
}

double HistoryStore::bytesPerRecord() const
{
    // What the store holds once full: the times, the values of eight channels, every level.
    double bytes =
        static_cast<double>(m_capacity) * (sizeof(std::int64_t) + kMaxChannels * sizeof(double));
    for (const Level &level : m_levels) {
        bytes += static_cast<double>(level.blocks) * kPair * sizeof(float);
    }
    return bytes / static_cast<double>(m_capacity);
}

} // namespace adc
