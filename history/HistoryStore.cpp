#include "HistoryStore.h"

#include <algorithm>
#include <cmath>

#include <unistd.h>

namespace adc {

HistoryStore::HistoryStore(std::int64_t capacity) : m_capacity(std::max<std::int64_t>(capacity, 1))
{
    // Levels up to the one whose blocks span the whole capacity; each keeps one block more than
    // the capacity spans, so that no block still wholly kept is written over.
    for (std::int64_t size = kBlock;; size *= kFanOut) {
        m_levels.push_back({size, m_capacity / size + 2, {}, {}});
        if (size >= m_capacity) {
            break;
        }
    }
    startRun(Mode::Int, 0, {});
}

std::int64_t HistoryStore::largestCapacity(std::uint64_t memoryBytes, Mode mode)
{
    // The bytes per record of a large store: its index's share no longer shrinks.
    HistoryStore store(kDefaultCapacity);
    store.startRun(mode, 0, {});
    const double perRecord = store.bytesPerRecord();
    return static_cast<std::int64_t>(static_cast<double>(memoryBytes) / perRecord);
}

std::uint64_t HistoryStore::physicalMemory()
{
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    return pages > 0 && pageSize > 0
               ? static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize)
               : 0;
}

void HistoryStore::runStarted(const RunStart &start)
{
    startRun(start.mode, start.run, start.at.wall);
    m_stamp = {start.at, 0, start.run};
}

void HistoryStore::startRun(Mode mode, std::int64_t run,
                            std::chrono::system_clock::time_point start)
{
    m_mode = mode;
    const int channels = modeInfo(mode).channelCount;
    m_names.resize(static_cast<std::size_t>(channels));
    for (int k = 0; k < channels; ++k) {
        m_names[static_cast<std::size_t>(k)] = "ch" + std::to_string(k);
    }
    clear(channels);
    m_runs.assign(1, {0, run});
    m_startWall = start;
}

void HistoryStore::channelsNamed(std::span<const std::string> names)
{
    names = names.first(std::min<std::size_t>(names.size(), kMaxStoreChannels));
    if (std::ranges::equal(names, m_names)) {
        return;
    }
    m_names.assign(names.begin(), names.end());
    // The run goes on under the number it has now; its records so far had other channels.
    const std::int64_t number = run();
    clear(static_cast<int>(names.size()));
    m_runs.assign(1, {0, number});
}

void HistoryStore::clear(int channels)
{
    m_channels = channels;
    if (m_chunkChannels != channels) {
        m_chunks.clear();
        m_chunkChannels = channels;
    }
    m_end = 0;
    m_nextSlot = 0;
    m_countBase = 0;
    m_farWalls.clear();
    for (Level &level : m_levels) {
        level.minMax.clear();
        level.sums.clear();
    }
}

void HistoryStore::charactersTaken(const Stamp &stamp)
{
    m_stamp = stamp;
    if (stamp.run != run()) {
        m_runs.emplace_back(m_end, stamp.run);
    }
}

void HistoryStore::recordAccepted(const AcceptedRecord &record)
{
    append(m_stamp.micros, record.count, record.values, m_stamp.at.wall);
}

std::int64_t HistoryStore::run(std::int64_t i) const
{
    auto at = m_runs.rbegin();
    while (at + 1 != m_runs.rend() && at->first > i) {
        ++at;
    }
    return at->second;
}

std::chrono::sys_time<std::chrono::milliseconds> HistoryStore::wallTime(std::int64_t i) const
{
    using namespace std::chrono;
    const std::size_t s = slot(i);
    std::int64_t delta = chunk(s).wallDelta[s & kChunkMask];
    if (delta == kFarWall) {
        delta = std::ranges::lower_bound(m_farWalls, i, {}, [](const auto &far) {
                    return far.first;
                })->second;
    }
    return floor<milliseconds>(m_startWall) + milliseconds(microsAt(s) / 1000 + delta);
}

void HistoryStore::append(std::int64_t micros, std::int64_t count, std::span<const double> values,
                          std::optional<std::chrono::system_clock::time_point> wall)
{
    using namespace std::chrono;
    if (m_end == 0) {
        m_countBase = count;
    }
    // The wall clock kept as its difference from Start plus the record's time: a few
    // milliseconds at most, unless the clock was set during the run.
    const std::int64_t delta =
        wall ? (floor<milliseconds>(*wall) - floor<milliseconds>(m_startWall)).count() -
                   micros / 1000
             : 0;
    while (!m_farWalls.empty() && m_farWalls.front().first < m_end - m_capacity + 1) {
        m_farWalls.pop_front();
    }
    store(m_nextSlot, micros, delta, values);
    m_nextSlot = m_nextSlot + 1 == static_cast<std::size_t>(m_capacity) ? 0 : m_nextSlot + 1;
    ++m_end;
    // The index takes whole blocks: the lowest level's block once its last record is in.
    if ((m_end & (kBlock - 1)) == 0) {
        indexBlock(m_end / kBlock - 1);
    }
}

void HistoryStore::store(std::size_t at, std::int64_t micros, std::int64_t wallDelta,
                         std::span<const double> values)
{
    const std::size_t number = at >> kChunkShift;
    if (number == m_chunks.size()) {
        // Left unwritten: the pages become resident as records come, and stay so once full.
        const auto size =
            std::min<std::size_t>(kChunkMask + 1, static_cast<std::size_t>(m_capacity) - at);
        m_chunks.push_back({std::make_unique_for_overwrite<std::int64_t[]>(size),
                            std::make_unique_for_overwrite<std::int32_t[]>(size),
                            std::make_unique_for_overwrite<double[]>(
                                size * static_cast<std::size_t>(m_channels))});
    }
    Chunk &c = m_chunks[number];
    const std::size_t offset = at & kChunkMask;
    c.micros[offset] = micros;
    if (wallDelta > std::numeric_limits<std::int32_t>::min() &&
        wallDelta <= std::numeric_limits<std::int32_t>::max()) {
        c.wallDelta[offset] = static_cast<std::int32_t>(wallDelta);
    } else {
        c.wallDelta[offset] = kFarWall;
        m_farWalls.emplace_back(m_end, wallDelta);
    }
    const auto channels = static_cast<std::size_t>(m_channels);
    double *row = c.values.get() + offset * channels;
    if (values.size() == channels) {
        std::copy_n(values.data(), channels, row);
    } else {
        const std::size_t given = std::min(values.size(), channels);
        std::copy_n(values.data(), given, row);
        std::fill(row + given, row + channels, 0.0);
    }
}

float *HistoryStore::block(std::size_t level, std::int64_t number)
{
    Level &l = m_levels[level];
    const auto pair = 2 * static_cast<std::size_t>(m_channels);
    const auto at = static_cast<std::size_t>(number % l.blocks) * pair;
    if (l.minMax.size() < at + pair) {
        l.minMax.resize(at + pair);
    }
    return l.minMax.data() + at;
}

const float *HistoryStore::block(std::size_t level, std::int64_t number) const
{
    const Level &l = m_levels[level];
    return l.minMax.data() +
           static_cast<std::size_t>(number % l.blocks) * 2 * static_cast<std::size_t>(m_channels);
}

HistoryStore::Sums *HistoryStore::sumsBlock(std::size_t level, std::int64_t number)
{
    Level &l = m_levels[level];
    const auto channels = static_cast<std::size_t>(m_channels);
    const auto at = static_cast<std::size_t>(number % l.blocks) * channels;
    if (l.sums.size() < at + channels) {
        l.sums.resize(at + channels);
    }
    return l.sums.data() + at;
}

const HistoryStore::Sums *HistoryStore::sumsBlock(std::size_t level, std::int64_t number) const
{
    const Level &l = m_levels[level];
    return l.sums.data() +
           static_cast<std::size_t>(number % l.blocks) * static_cast<std::size_t>(m_channels);
}

template <std::size_t Channels>
void HistoryStore::reduceBlock(std::size_t at, float *out, Sums *sums) const
{
    // Channels known at compile time let the compiler unroll the channels; 0 stands for the
    // store's count.
    const std::size_t channels = Channels != 0 ? Channels : static_cast<std::size_t>(m_channels);
    const auto capacity = static_cast<std::size_t>(m_capacity);
    // The block's rows (it may wrap round the capacity), then one channel at a time with its
    // figures in registers.
    const double *rows[kBlock];
    for (std::int64_t r = 0; r < kBlock; ++r) {
        rows[r] = row(at);
        at = at + 1 == capacity ? 0 : at + 1;
    }
    for (std::size_t k = 0; k < channels; ++k) {
        // A value a line did not give (NaN) takes no part: it fails every comparison. Nor
        // does a saturated one in the sums, without a branch per value.
        float lo = std::numeric_limits<float>::infinity();
        float hi = -lo;
        double sum = 0;
        double squares = 0;
        std::int64_t finite = 0;
        for (const double *r : rows) {
            const double v = r[k];
            const auto f = static_cast<float>(v);
            lo = f < lo ? f : lo;
            hi = f > hi ? f : hi;
            const bool counted = std::isfinite(v);
            const double x = counted ? v : 0.0;
            sum += x;
            squares += x * x;
            finite += counted ? 1 : 0;
        }
        out[2 * k] = lo;
        out[2 * k + 1] = hi;
        sums[k] = {finite, sum, squares};
    }
}

void HistoryStore::indexBlock(std::int64_t number)
{
    const auto channels = static_cast<std::size_t>(m_channels);
    // A capacity under one block leaves this block's first records written over; such a block
    // is never read, as no whole block is kept.
    const std::size_t at = slot(number * kBlock);
    float *b = block(0, number);
    Sums *s = sumsBlock(0, number);
    if (channels == kMaxChannels) {
        reduceBlock<kMaxChannels>(at, b, s);
    } else if (channels == 2) {
        reduceBlock<2>(at, b, s);
    } else {
        reduceBlock<0>(at, b, s);
    }
    indexUp(channels);
}

void HistoryStore::indexUp(std::size_t channels)
{
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
        const Sums *lowSums = sumsBlock(level, done);
        Sums *upSums = sumsBlock(level + 1, done / kFanOut);
        const bool opensUp = done % kFanOut == 0;
        for (std::size_t k = 0; k < channels; ++k) {
            up[2 * k] = opensUp ? low[2 * k] : std::min(up[2 * k], low[2 * k]);
            up[2 * k + 1] = opensUp ? low[2 * k + 1] : std::max(up[2 * k + 1], low[2 * k + 1]);
            if (opensUp) {
                upSums[k] = lowSums[k];
            } else {
                upSums[k].add(lowSums[k]);
            }
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
        if (static_cast<double>(microsAt(slot(mid))) < micros) {
            lo = mid + 1;
        } else {
            hi = mid;
        }
    }
    return lo;
}

template <class Records, class Blocks>
void HistoryStore::walk(std::int64_t from, std::int64_t to, Records records, Blocks blocks) const
{
    from = std::max(from, first());
    to = std::min(to, m_end);
    std::int64_t i = from;
    while (i < to) {
        if (i % kBlock != 0 || i + kBlock > to) {
            // Single records up to the next block boundary (or the range's end).
            const std::int64_t stop = std::min(to, (i / kBlock + 1) * kBlock);
            for (; i < stop; ++i) {
                records(this->row(slot(i)));
            }
            continue;
        }
        // The largest whole block that starts here and ends within the range.
        std::size_t level = 0;
        while (level + 1 < m_levels.size() && i % m_levels[level + 1].size == 0 &&
               i + m_levels[level + 1].size <= to) {
            ++level;
        }
        blocks(level, i / m_levels[level].size);
        i += m_levels[level].size;
    }
}

std::int64_t HistoryStore::blockSize(std::int64_t size) const
{
    const auto level =
        std::ranges::find_if(m_levels, [size](const Level &l) { return l.size >= size; });
    return level != m_levels.end() ? level->size : m_levels.back().size;
}

HistoryStore::MinMax HistoryStore::minMax(std::int64_t from, std::int64_t to, int channel) const
{
    MinMax all[kMaxStoreChannels];
    minMaxAll(from, to, all);
    return all[channel];
}

void HistoryStore::minMaxAll(std::int64_t from, std::int64_t to, MinMax *perChannel) const
{
    const auto channels = static_cast<std::size_t>(m_channels);
    std::fill_n(perChannel, channels, MinMax{});
    walk(
        from, to,
        [&](const double *row) {
            for (std::size_t k = 0; k < channels; ++k) {
                perChannel[k].add(static_cast<float>(row[k]));
            }
        },
        [&](std::size_t level, std::int64_t number) {
            const float *b = block(level, number);
            for (std::size_t k = 0; k < channels; ++k) {
                perChannel[k].add(MinMax{b[2 * k], b[2 * k + 1]});
            }
        });
}

HistoryStore::Sums HistoryStore::sums(std::int64_t from, std::int64_t to, int channel) const
{
    Sums all;
    const auto k = static_cast<std::size_t>(channel);
    walk(
        from, to, [&](const double *row) { all.add(row[k]); },
        [&](std::size_t level, std::int64_t number) { all.add(sumsBlock(level, number)[k]); });
    return all;
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
            while (hi < m_end && static_cast<double>(microsAt(slot(hi))) < x * 1e6) {
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
    // What the store holds once full: the times, the values of its channels, every level.
    const auto channels = static_cast<double>(m_channels);
    double bytes = static_cast<double>(m_capacity) *
                   (sizeof(std::int64_t) + sizeof(std::int32_t) + channels * sizeof(double));
    for (const Level &level : m_levels) {
        bytes += static_cast<double>(level.blocks) * channels *
                 static_cast<double>(2 * sizeof(float) + sizeof(Sums));
    }
    return bytes / static_cast<double>(m_capacity);
}

} // namespace adc
