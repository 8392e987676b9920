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
    m_openBlock = nullptr;
    m_end = 0;
    m_countBase = 0;
    m_micros.clear();
    m_values.clear();
    // Reserved once, used as records come: resident memory grows with the records and then
    // stays as it is.
    m_micros.reserve(static_cast<std::size_t>(m_capacity));
    m_values.reserve(static_cast<std::size_t>(m_capacity) * kMaxChannels);
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
    const std::size_t channels = static_cast<std::size_t>(m_channels);
    double row[kMaxChannels] = {};
    std::copy_n(values.begin(), std::min(values.size(), channels), row);
    if (m_end < m_capacity) {
        m_micros.push_back(micros);
        m_values.insert(m_values.end(), row, row + channels);
    } else {
        const std::size_t at = slot(m_end);
        m_micros[at] = micros;
        std::copy_n(row, channels, m_values.begin() + static_cast<std::ptrdiff_t>(at * channels));
    }
    indexRecord(m_end, row);
    ++m_end;
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

void HistoryStore::indexRecord(std::int64_t i, const double *values)
{
    const auto channels = static_cast<std::size_t>(m_channels);
    // The lowest level's block is looked up once, when it opens.
    const bool opens = i % kBlock == 0;
    if (opens) {
        m_openBlock = block(0, i / kBlock);
    }
    float *b = m_openBlock;
    for (std::size_t k = 0; k < channels; ++k) {
        const auto v = static_cast<float>(values[k]);
        b[2 * k] = opens || v < b[2 * k] ? v : b[2 * k];
        b[2 * k + 1] = opens || v > b[2 * k + 1] ? v : b[2 * k + 1];
    }
    // A block that is complete now goes into the block above it, and so on up.
    for (std::size_t level = 0; level + 1 < m_levels.size(); ++level) {
        // Block sizes are powers of two.
        const std::int64_t size = m_levels[level].size;
        if (((i + 1) & (size - 1)) != 0) {
            break;
        }
        const std::int64_t number = i / size;
        const float *done = block(level, number);
        float *up = block(level + 1, number / kFanOut);
        const bool opensUp = number % kFanOut == 0;
        for (std::size_t k = 0; k < channels; ++k) {
            up[2 * k] = opensUp ? done[2 * k] : std::min(up[2 * k], done[2 * k]);
            up[2 * k + 1] = opensUp ? done[2 * k + 1] : std::max(up[2 * k + 1], done[2 * k + 1]);
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
                const double *row = &m_values[slot(i) * channels];
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
