#include "RangeMeasurement.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

using namespace adc;

namespace {

// Random ranges from single records to beyond the highest index level, each measured as the
// index gives it and as every record of the range gives it, in counts and in units.
TEST(RangeMeasurement, TheIndexGivesWhatEveryRecordGivesForRandomRangesAtEveryLevel)
{
    HistoryStore store(300'001);
    store.runStarted({Mode::Int, 1, {}});
    std::mt19937_64 random(7);
    std::vector<std::array<double, 8>> rows(400'000);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        for (double &v : rows[i]) {
            v = random() % 211 == 0 ? INFINITY : static_cast<double>(random() % 1024);
        }
        store.append(static_cast<std::int64_t>(i) * 43, static_cast<std::int64_t>(i), rows[i]);
    }
    ChannelUnits units;
    units.apply({3, {}, -5.0 / 1023, 2.5, "V"});
    for (const ChannelUnits *u : std::array<const ChannelUnits *, 2>{nullptr, &units}) {
        const RangeMeasurement measure(store, u);
        for (std::int64_t span = 1; span <= 1'000'000; span *= 4) {
            for (int n = 0; n < 12; ++n) {
                const std::int64_t from = 90'000 + static_cast<std::int64_t>(random() % 320'000);
                const std::int64_t to = from + 1 + static_cast<std::int64_t>(random() % span);
                const int k = static_cast<int>(random() % 8);
                const Measurement m = measure.measure(from, to, k);
                const std::int64_t a = std::max(from, store.first());
                const std::int64_t b = std::min(to, store.end());
                double lo = INFINITY, hi = -INFINITY, sum = 0, squares = 0, finite = 0;
                for (std::int64_t i = a; i < b; ++i) {
                    double v = rows[static_cast<std::size_t>(i)][static_cast<std::size_t>(k)];
                    lo = std::min(lo, v);
                    hi = std::max(hi, v);
                    if (std::isfinite(v)) {
                        v = u != nullptr ? u->toUnits(k, v) : v;
                        sum += v;
                        squares += v * v;
                        ++finite;
                    }
                }
                const double mean = sum / finite;
                ASSERT_EQ(m.records, std::max<std::int64_t>(b - a, 0)) << from << ".." << to;
                if (m.records == 0) {
                    continue;
                }
                const double a1 = u != nullptr ? u->toUnits(k, lo) : lo;
                const double b1 = u != nullptr ? u->toUnits(k, hi) : hi;
                EXPECT_DOUBLE_EQ(m.min, std::min(a1, b1)) << from << ".." << to << " ch" << k;
                EXPECT_DOUBLE_EQ(m.max, std::max(a1, b1));
                EXPECT_NEAR(m.mean, mean, 1e-9);
                EXPECT_NEAR(m.rms, std::sqrt(squares / finite), 1e-9);
                EXPECT_NEAR(m.std, std::sqrt(std::max(0.0, squares / finite - mean * mean)), 1e-6);
            }
        }
    }
}

// 23,000 records a second of a 50 Hz sine and of a 7 Hz square wave with noise: the frequency
// to within a per mille over a short range and over a whole run (43 s) longer than the reads
// allowed (read in windows); the noise alone and a single step have none.
TEST(RangeMeasurement, FrequencyOfASineAndASquareWaveWithNoiseAndNoneForNoise)
{
    constexpr double kRate = 23'000;
    HistoryStore store(1'000'000);
    std::mt19937_64 random(3);
    std::normal_distribution<double> noise(0, 15);
    store.runStarted({Mode::Int, 1, {}});
    for (std::int64_t i = 0; i < 1'000'000; ++i) {
        const double t = static_cast<double>(i) / kRate;
        const std::array<double, 8> row{
            512 + 400 * std::sin(2 * std::numbers::pi * 50 * t) + noise(random),
            (std::fmod(t * 7, 1.0) < 0.3 ? 900.0 : 100.0) + noise(random), 512 + noise(random),
            i < 1'000 ? 0.0 : 1000.0};
        store.append(std::llround(t * 1e6), i, row);
    }
    const RangeMeasurement measure(store);
    for (const auto &[from, to] :
         {std::pair<std::int64_t, std::int64_t>{1'234, 50'000}, {0, store.end()}}) {
        EXPECT_NEAR(measure.measure(from, to, 0).frequency.value_or(-1), 50.0, 0.05);
        EXPECT_NEAR(measure.measure(from, to, 1).frequency.value_or(-1), 7.0, 0.007);
        EXPECT_FALSE(measure.measure(from, to, 2).frequency);
    }
    EXPECT_FALSE(measure.measure(0, 5'000, 3).frequency);
    // A period longer than the windows: found from the index's block means.
    HistoryStore slow(600'000);
    slow.runStarted({Mode::Mcp3201, 1, {}});
    for (std::int64_t i = 0; i < 600'000; ++i) {
        const std::array<double, 2> row{(i / 50'000) % 2 == 0 ? 10.0 : 20.0, 0};
        slow.append(i * 100, i, row);
    }
    EXPECT_NEAR(RangeMeasurement(slow).measure(0, slow.end(), 0).frequency.value_or(-1), 0.1, 1e-4);
}

} // namespace
