#include "HistoryStore.h"
#include "support/ManualClock.h"
#include "support/ProcessInfo.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <random>
#include <vector>

using namespace adc;

namespace {

using MinMax = HistoryStore::MinMax;

// The reference: every record of the range looked at.
MinMax bruteForce(const std::vector<std::vector<double>> &rows, std::int64_t from, std::int64_t to,
                  int channel)
{
    MinMax m;
    for (std::int64_t i = from; i < to; ++i) {
        m.add(static_cast<float>(
            rows[static_cast<std::size_t>(i)][static_cast<std::size_t>(channel)]));
    }
    return m;
}

std::vector<double> randomRow(std::mt19937_64 &random, int channels)
{
    std::vector<double> row(static_cast<std::size_t>(channels));
    for (double &v : row) {
        // Close values that differ only beyond a float's precision, now and then a saturated one
        // or one a line did not give (NaN).
        v = random() % 97 == 0   ? INFINITY
            : random() % 89 == 0 ? NAN
                                 : 512.0 + std::ldexp(static_cast<double>(random() % 4096), -20);
    }
    return row;
}

TEST(HistoryStore, TheIndexGivesWhatEveryRecordGivesForAnyRangeAtEveryLevel)
{
    for (const Mode mode : {Mode::Int, Mode::Mcp3201}) {
        // A capacity that is no multiple of a block, filled past it: the oldest blocks are cut.
        HistoryStore store(70'001);
        store.runStarted({mode, 1, {}});
        std::mt19937_64 random(mode == Mode::Int ? 1 : 2);
        std::vector<std::vector<double>> rows;
        for (int i = 0; i < 93'777; ++i) {
            rows.push_back(randomRow(random, store.channelCount()));
            store.append(i * 100, i + 1, rows.back());
        }
        ASSERT_EQ(store.first(), 93'777 - 70'001);
        ASSERT_EQ(store.end(), 93'777);
        // Ranges of every length class, from single records to beyond the highest level, with
        // random ends, some reaching before the oldest record or after the newest.
        for (std::int64_t span = 1; span <= 200'000; span *= 3) {
            for (int n = 0; n < 40; ++n) {
                const std::int64_t from =
                    store.first() - 50 + static_cast<std::int64_t>(random() % 70'100);
                const std::int64_t to = from + 1 + static_cast<std::int64_t>(random() % span);
                const int channel = static_cast<int>(random() % store.channelCount());
                const std::int64_t a = std::max(from, store.first());
                const std::int64_t b = std::min(to, store.end());
                ASSERT_EQ(store.minMax(from, to, channel),
                          bruteForce(rows, a, std::max(a, b), channel))
                    << from << ".." << to << " ch" << channel;
                HistoryStore::Sums direct;
                for (std::int64_t i = a; i < b; ++i) {
                    direct.add(
                        rows[static_cast<std::size_t>(i)][static_cast<std::size_t>(channel)]);
                }
                const HistoryStore::Sums indexed = store.sums(from, to, channel);
                ASSERT_EQ(indexed.count, direct.count);
                ASSERT_NEAR(indexed.sum, direct.sum, 1e-12 * std::abs(direct.sum));
                ASSERT_NEAR(indexed.sumSquares, direct.sumSquares, 1e-12 * direct.sumSquares);
            }
        }
        // The values and times themselves are kept exactly.
        for (std::int64_t i : {store.first(), store.first() + 12'345, store.end() - 1}) {
            for (int k = 0; k < store.channelCount(); ++k) {
                const double v = rows[static_cast<std::size_t>(i)][static_cast<std::size_t>(k)];
                EXPECT_TRUE(std::isnan(v) ? std::isnan(store.value(i, k)) : store.value(i, k) == v);
            }
            EXPECT_EQ(store.micros(i), i * 100);
            EXPECT_EQ(store.count(i), i + 1);
        }
    }
}

TEST(HistoryStore, GrowsWithItsRecordsUpToItsCapacityInFlatMemoryOfAtMost88BytesPerRecord)
{
    // Eight channels: 76 bytes of record, the rest the index's extremes and sums.
    EXPECT_LE(HistoryStore().bytesPerRecord(), 88.0);
    EXPECT_LE(HistoryStore(10'000'000).bytesPerRecord(), 88.0);
    EXPECT_LE(HistoryStore(1000).bytesPerRecord(), 88.0);
    // The largest store that fits in 8 GiB does, and one a tenth larger would not.
    constexpr std::uint64_t k8GiB = std::uint64_t{8} << 30;
    const std::int64_t largest = HistoryStore::largestCapacity(k8GiB);
    EXPECT_LE(static_cast<double>(largest) * HistoryStore(largest).bytesPerRecord(), k8GiB);
    EXPECT_GT(static_cast<double>(largest) * 1.1 * HistoryStore(largest).bytesPerRecord(), k8GiB);
    // Other boards' lines may carry 32 channels: such a store holds about a quarter as many.
    EXPECT_LT(HistoryStore::largestCapacity(k8GiB, Mode::Csv) * 3, largest);
    EXPECT_GT(HistoryStore::physicalMemory(), 0u);

    // A store of a billion records takes memory only as records come.
    const long before = adc::test::residentKiB();
    HistoryStore billion(1'000'000'000);
    billion.runStarted({Mode::Int, 1, {}});
    const std::array<double, kMaxChannels> some{1, 2, 3, 4, 5, 6, 7, 8};
    for (int i = 0; i < 1000; ++i) {
        billion.append(i, i + 1, some);
    }
    EXPECT_EQ(billion.value(999, 7), 8.0);
    EXPECT_LT(adc::test::residentKiB() - before, 16 * 1024);

    constexpr std::int64_t kCapacity = 300'000;
    HistoryStore store(kCapacity);
    store.runStarted({Mode::Int, 1, {}});
    std::array<double, kMaxChannels> row{};
    auto feed = [&](std::int64_t n) {
        for (std::int64_t i = 0; i < n; ++i) {
            const std::int64_t at = store.end();
            row.fill(static_cast<double>(at));
            store.append(at, at + 1, row);
        }
    };
    feed(kCapacity);
    const long full = adc::test::residentKiB();
    feed(3 * kCapacity + 17);
    const long later = adc::test::residentKiB();
    EXPECT_EQ(store.end(), 4 * kCapacity + 17);
    EXPECT_EQ(store.first(), 3 * kCapacity + 17);
    EXPECT_EQ(store.value(store.first(), 7), static_cast<double>(store.first()));
    EXPECT_EQ(store.minMax(0, store.end(), 3),
              (MinMax{float(store.first()), float(store.end() - 1)}));
    // The store is about 22 MB; three more capacities' worth adds nothing.
    EXPECT_LT(later - full, 512) << full << " KiB full, " << later << " KiB after";

    // A new Start begins again with nothing.
    store.runStarted({Mode::Mcp3201, 2, {}});
    EXPECT_TRUE(store.empty());
    EXPECT_EQ(store.channelCount(), 2);
    EXPECT_EQ(store.names(), (std::vector<std::string>{"ch0", "ch1"}));
}

// Names told again unchanged keep the records; new names (here 32 of them) start the run's
// history afresh with that many channels, under the same run number.
TEST(HistoryStore, NewChannelNamesStartTheRunsHistoryAgainWithTheirChannels)
{
    HistoryStore store(1000);
    store.runStarted({Mode::Int, 3, {}});
    const std::vector<std::string> board{"ch0", "ch1", "ch2", "ch3", "ch4", "ch5", "ch6", "ch7"};
    store.channelsNamed(board);
    std::vector<double> row(32, 1.0);
    store.append(0, 1, std::span(row).first(8));
    store.channelsNamed(board);
    EXPECT_EQ(store.end(), 1);

    std::vector<std::string> names;
    for (int k = 0; k < 40; ++k) {
        names.push_back("v" + std::to_string(k));
    }
    store.channelsNamed(names);
    EXPECT_TRUE(store.empty());
    ASSERT_EQ(store.channelCount(), 32);
    EXPECT_EQ(store.names().back(), "v31");
    for (int i = 0; i < 100; ++i) {
        row[31] = i;
        store.append(i, i + 1, row);
    }
    EXPECT_EQ(store.value(99, 31), 99.0);
    EXPECT_EQ(store.minMax(0, 100, 31), (MinMax{0.0f, 99.0f}));
    EXPECT_EQ(store.sums(0, 100, 31).sum, 4950.0);
    EXPECT_EQ(store.run(), 3);
}

TEST(HistoryStore, EachRecordKeepsTheWallTimeAndRunOfItsStamp)
{
    using namespace std::chrono_literals;
    test::ManualClock clock;
    HistoryStore store(100);
    const RunStart start = clock.startOf(Mode::Mcp3201, 4);
    store.runStarted(start);
    const double values[2] = {1, 2};
    const auto block = [&](std::chrono::microseconds after) {
        clock.advance(after);
        store.charactersTaken(clock.stampIn(start));
        store.recordAccepted({Mode::Mcp3201, store.end() + 1, values});
    };
    block(52'113us);
    // The wall clock set forward by 40 days, and back before the Start.
    clock.setWall(clock.now().wall + std::chrono::days(40));
    block(1'000us);
    clock.setWall(test::ManualClock::kMorning - 1h);
    block(999us);
    // A recording opened during the run gave it a new number.
    store.charactersTaken({clock.now(), 60'000, 9});
    store.recordAccepted({Mode::Mcp3201, 4, values});
    ASSERT_EQ(store.end(), 4);
    using std::chrono::floor;
    using std::chrono::milliseconds;
    EXPECT_EQ(store.wallTime(0), floor<milliseconds>(test::ManualClock::kMorning + 52'113us));
    EXPECT_EQ(store.wallTime(1),
              floor<milliseconds>(test::ManualClock::kMorning + 53'113us + std::chrono::days(40)));
    EXPECT_EQ(store.wallTime(2), floor<milliseconds>(test::ManualClock::kMorning - 1h + 999us));
    EXPECT_EQ(store.micros(2), 54'112);
    EXPECT_EQ((std::vector{store.run(0), store.run(2), store.run(3)}),
              (std::vector<std::int64_t>{4, 4, 9}));
    EXPECT_EQ(store.run(), 9);
}

// A square wave of period 2 s (1 s high, 1 s low) sampled every 10 ms: at any zoom the edges
// fall into the pixel columns of their times, and no other column spans both levels.
TEST(HistoryStore, ASquareWavesEdgesFallIntoTheColumnsOfTheirTimes)
{
    HistoryStore store;
    store.runStarted({Mode::Mcp3201, 1, {}});
    for (std::int64_t i = 0; i < 6000; ++i) { // 60 s
        const double level = (i / 100) % 2 == 0 ? 100.0 : 900.0;
        const double values[2] = {level, 4095.0 - level};
        store.append(i * 10'000 + 5'000, i + 1, values);
    }
    struct Zoom {
        double from, to;
        int columns;
    };
    std::vector<std::int64_t> bounds;
    for (const Zoom zoom : {Zoom{0.0, 60.0, 1200}, Zoom{12.3, 17.3, 640}}) {
        store.columnBounds(HistoryStore::XAxis::Seconds, zoom.from, zoom.to, zoom.columns, bounds);
        const double perColumn = (zoom.to - zoom.from) / zoom.columns;
        for (int c = 0; c < zoom.columns; ++c) {
            // An edge (into record 100 k) joins the last record of one level with the first of
            // the next; the plot joins each column to the last record before it.
            const std::int64_t a = bounds[static_cast<std::size_t>(c)];
            const std::int64_t b = bounds[static_cast<std::size_t>(c) + 1];
            const MinMax m = store.minMax(a > 0 ? a - 1 : a, b, 0);
            const double left = zoom.from + c * perColumn;
            const double right = left + perColumn;
            bool edge = false;
            for (int k = 1; k < 60; ++k) {
                const double t = k + 0.005; // the first record of each new level
                edge = edge || (t >= left && t < right);
            }
            if (a == b) {
                continue; // no record in this column
            }
            EXPECT_EQ(m.min < m.max, edge) << "column " << c << " of " << zoom.columns;
            EXPECT_EQ(store.minMax(a, b, 1).max, 4095.0f - store.minMax(a, b, 0).min);
        }
    }
}

} // namespace
