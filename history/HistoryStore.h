#pragma once

#include "RecordObserver.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <limits>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace adc {

/// The records of the run since its Start, for looking back at: every accepted record with
/// its values exactly as the recording holds them, its stamp's time since Start, wall-clock time
/// and run number, up to a capacity (the oldest leave first). Memory grows in chunks as records
/// come and stays flat once the capacity is reached.
///
/// An index by levels (blocks of 32 records, then of 8 blocks each) keeps per block and channel
/// the smallest and largest value, and the count, sum and sum of squares of the finite values.
/// It reduces any range of records to those in O(32 + 8 x levels) steps, so that a plot of any
/// length costs one such range per pixel column and the mean or RMS of any range costs the
/// same. A block enters the index when its last record comes (the newest records are read one
/// by one until then). The minimum and maximum are floats (which keep the order of the doubles
/// they come from); the sums and the values themselves are doubles.
///
/// The channels are named: the recording's column names (ch0, ch1, ...) until channelsNamed()
/// says otherwise. A run whose names change while it goes (a text line's new header or a new
/// name) empties the store, which starts again with the new channels under the same run.
class HistoryStore : public RecordObserver {
public:
    /// The most channels a store keeps: as many as a line of text may carry.
    static constexpr int kMaxStoreChannels = kMaxTextChannels;
    /// The records kept unless told otherwise.
    static constexpr std::int64_t kDefaultCapacity = 1'000'000;
    /// Records per block of the lowest index level, and blocks per block of the next.
    static constexpr std::int64_t kBlock = 32;
    static constexpr std::int64_t kFanOut = 8;
    static_assert((kBlock & (kBlock - 1)) == 0 && (kFanOut & (kFanOut - 1)) == 0);

    /// The smallest and largest value of a range of one channel; empty() when it had none.
    struct MinMax {
        float min = std::numeric_limits<float>::infinity();
        float max = -std::numeric_limits<float>::infinity();
        bool empty() const { return min > max; }
        void add(float v)
        {
            min = v < min ? v : min;
            max = v > max ? v : max;
        }
        void add(const MinMax &other)
        {
            min = other.min < min ? other.min : min;
            max = other.max > max ? other.max : max;
        }
        bool operator==(const MinMax &) const = default;
    };

    /// The count, sum and sum of squares of the finite values of a range of one channel.
    struct Sums {
        std::int64_t count = 0;
        double sum = 0;
        double sumSquares = 0;
        void add(double v)
        {
            // Saturated values (infinite) stay out: they have no place in a mean.
            if (std::isfinite(v)) {
                ++count;
                sum += v;
                sumSquares += v * v;
            }
        }
        void add(const Sums &other)
        {
            count += other.count;
            sum += other.sum;
            sumSquares += other.sumSquares;
        }
        bool operator==(const Sums &) const = default;
    };

    explicit HistoryStore(std::int64_t capacity = kDefaultCapacity);

    /// The largest capacity whose store of a run in `mode` fits in `memoryBytes` once full (a
    /// run of other boards' lines counted at its most channels).
    static std::int64_t largestCapacity(std::uint64_t memoryBytes, Mode mode = Mode::Int);
    /// This machine's memory, in bytes.
    static std::uint64_t physicalMemory();

    /// A Start (or the run going, for a store that joins it): the store empties for the run.
    void runStarted(const RunStart &start) override;
    void charactersTaken(const Stamp &stamp) override;
    void recordAccepted(const AcceptedRecord &record) override;
    /// The channels' names (at most kMaxStoreChannels are kept): names that differ from those
    /// held empty the store, which goes on with as many channels as there are names.
    void channelsNamed(std::span<const std::string> names) override;

    /// Empties the store for run number `run` in `mode`, started at `start` (a recording read
    /// back).
    void startRun(Mode mode, std::int64_t run, std::chrono::system_clock::time_point start);
    /// Adds a record taken `micros` after Start, at the wall-clock time `wall` (none: Start plus
    /// `micros`), whose sample count is `count`; the values are the mode's channels.
    void append(std::int64_t micros, std::int64_t count, std::span<const double> values,
                std::optional<std::chrono::system_clock::time_point> wall = std::nullopt);

    std::int64_t capacity() const { return m_capacity; }
    /// The run's number as of its newest record, counted from 1 as the recording counts them.
    std::int64_t run() const { return m_runs.back().second; }
    /// The run's number as record `i` was taken (a recording opened during the run may have
    /// given the run a new number).
    std::int64_t run(std::int64_t i) const;
    /// The wall-clock time of the run's Start.
    std::chrono::system_clock::time_point startTime() const { return m_startWall; }
    Mode mode() const { return m_mode; }
    int channelCount() const { return m_channels; }
    /// One name per channel.
    const std::vector<std::string> &names() const { return m_names; }
    /// Records numbered from 0 at Start: the oldest kept, and one past the newest (also the
    /// number accepted since Start).
    std::int64_t first() const { return m_end > m_capacity ? m_end - m_capacity : 0; }
    std::int64_t end() const { return m_end; }
    bool empty() const { return m_end == first(); }

    /// The time of record `i` (first() <= i < end()) since Start, in microseconds as recorded.
    std::int64_t micros(std::int64_t i) const { return microsAt(slot(i)); }
    /// The wall-clock time of record `i`, to the millisecond as recorded.
    std::chrono::sys_time<std::chrono::milliseconds> wallTime(std::int64_t i) const;
    /// The value of `channel` in record `i`, exactly as recorded.
    double value(std::int64_t i, int channel) const
    {
        return row(slot(i))[static_cast<std::size_t>(channel)];
    }
    /// The sample count of record `i`, as the counter showed it.
    std::int64_t count(std::int64_t i) const { return m_countBase + i; }

    /// Calls `use(micros, value)` with the time and the value of `channel` of each record in
    /// [from, to), clamped to those kept, oldest first.
    template <class Use>
    void forEach(std::int64_t from, std::int64_t to, int channel, Use use) const
    {
        from = std::max(from, first());
        to = std::min(to, m_end);
        if (from >= to) {
            return;
        }
        const auto k = static_cast<std::size_t>(channel);
        const auto capacity = static_cast<std::size_t>(m_capacity);
        for (std::size_t s = slot(from); from < to; ++from) {
            use(microsAt(s), row(s)[k]);
            s = s + 1 == capacity ? 0 : s + 1;
        }
    }

    /// The index level whose blocks hold `size` records or, when none does, more (the
    /// largest: enough for the whole capacity).
    std::int64_t blockSize(std::int64_t size) const;
    /// Calls `use(firstRecord, sums)` with the sums of `channel` of each whole block of
    /// blockSize(size) records in [from, to), clamped to those kept, oldest first.
    template <class Use>
    void forEachBlock(std::int64_t from, std::int64_t to, std::int64_t size, int channel,
                      Use use) const
    {
        std::size_t level = 0;
        while (level + 1 < m_levels.size() && m_levels[level].size < size) {
            ++level;
        }
        size = m_levels[level].size;
        to = std::min(to, m_end);
        const auto k = static_cast<std::size_t>(channel);
        for (std::int64_t b = (std::max(from, first()) + size - 1) / size; (b + 1) * size <= to;
             ++b) {
            use(b * size, sumsBlock(level, b)[k]);
        }
    }

    /// The first record kept taken at `micros` or later (end() when none).
    std::int64_t lowerBound(double micros) const;
    /// The smallest and largest value of `channel` in records [from, to), clamped to those kept.
    MinMax minMax(std::int64_t from, std::int64_t to, int channel) const;
    /// The same for every channel of the mode at once, into `perChannel[0..channelCount())`.
    void minMaxAll(std::int64_t from, std::int64_t to, MinMax *perChannel) const;
    /// The count, sum and sum of squares of the finite values of `channel` in records
    /// [from, to), clamped to those kept: one visit per index level plus the two ends.
    Sums sums(std::int64_t from, std::int64_t to, int channel) const;

    /// What the x axis of a plot counts: seconds since Start, or records (record i at x = i).
    enum class XAxis { Seconds, Records };
    /// The records of each pixel column of a plot of x in [from, to) drawn `columns` wide:
    /// column c holds the records [bounds[c], bounds[c + 1]) (bounds gets columns + 1 entries).
    void columnBounds(XAxis axis, double from, double to, int columns,
                      std::vector<std::int64_t> &bounds) const;

    /// Bytes held for the records and their index, per record of capacity, with the channels
    /// the store has now.
    double bytesPerRecord() const;

private:
    /// Records per chunk of memory, a power of two and a multiple of kBlock.
    static constexpr int kChunkShift = 16;
    static constexpr std::size_t kChunkMask = (std::size_t{1} << kChunkShift) - 1;
    /// A wall-clock difference too far for 32 bits; the difference is in m_farWalls.
    static constexpr std::int32_t kFarWall = std::numeric_limits<std::int32_t>::min();

    /// The records of one chunk of slots.
    struct Chunk {
        std::unique_ptr<std::int64_t[]> micros;
        /// Milliseconds from the run's Start plus the record's micros to its wall-clock time.
        std::unique_ptr<std::int32_t[]> wallDelta;
        std::unique_ptr<double[]> values;
    };

    std::size_t slot(std::int64_t i) const { return static_cast<std::size_t>(i % m_capacity); }
    const Chunk &chunk(std::size_t slot) const { return m_chunks[slot >> kChunkShift]; }
    std::int64_t microsAt(std::size_t slot) const { return chunk(slot).micros[slot & kChunkMask]; }
    const double *row(std::size_t slot) const
    {
        return chunk(slot).values.get() +
               (slot & kChunkMask) * static_cast<std::size_t>(m_channels);
    }
    void store(std::size_t slot, std::int64_t micros, std::int64_t wallDelta,
               std::span<const double> values);
    float *block(std::size_t level, std::int64_t number);
    const float *block(std::size_t level, std::int64_t number) const;
    Sums *sumsBlock(std::size_t level, std::int64_t number);
    const Sums *sumsBlock(std::size_t level, std::int64_t number) const;
    void clear(int channels);
    template <class Records, class Blocks>
    void walk(std::int64_t from, std::int64_t to, Records records, Blocks blocks) const;
    std::int64_t lowerBound(double micros, std::int64_t lo, std::int64_t hi) const;
    void indexBlock(std::int64_t number);
    template <std::size_t Channels>
    void reduceBlock(std::size_t firstSlot, float *out, Sums *sums) const;
    void indexUp(std::size_t channels);

    std::int64_t m_capacity;
    Mode m_mode = Mode::Int;
    int m_channels = kMaxChannels;
    std::vector<std::string> m_names;
    /// The channels per record of the chunks allocated.
    int m_chunkChannels = 0;
    std::chrono::system_clock::time_point m_startWall{};
    /// The stamp of the records being told.
    Stamp m_stamp;
    /// From which record on the run had which number, oldest first.
    std::vector<std::pair<std::int64_t, std::int64_t>> m_runs{{0, 0}};
    std::int64_t m_end = 0;
    std::int64_t m_countBase = 0;
    /// Where the next record goes (end() modulo the capacity).
    std::size_t m_nextSlot = 0;
    /// Allocated as the slots are first reached and left unwritten until records come:
    /// resident memory grows with the records and then stays as it is.
    std::vector<Chunk> m_chunks;
    /// The records whose wall-clock difference is kFarWall, by record, and the difference.
    std::deque<std::pair<std::int64_t, std::int64_t>> m_farWalls;
    /// Per level: the records of one block, the blocks kept, and per block the min and max and
    /// the sums of each channel.
    struct Level {
        std::int64_t size;
        std::int64_t blocks;
        std::vector<float> minMax;
        std::vector<Sums> sums;
    };
    std::vector<Level> m_levels;
};

} // namespace adc
