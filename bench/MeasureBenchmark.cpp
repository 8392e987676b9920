// What measurements and the trigger cost: the figures of random ranges of a history of
// 10,000,000 records (the worst range's time too), and the trigger's time per record.

#include "RangeMeasurement.h"
#include "Trigger.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <numbers>
#include <random>

#include <time.h>

namespace {

constexpr std::int64_t kRecords = 10'000'000;
constexpr double kRate = 23'000; // records a second at 921,600 baud

// This thread's processor time in milliseconds: the worst range is not one the machine's other
// work happened to interrupt.
double threadMilliseconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// INT records at 23,000 a second: a 50 Hz sine, noise alone, a 0.5 Hz square wave, a ramp.
const adc::HistoryStore &history()
{
    static const auto store = [] {
        auto h = std::make_unique<adc::HistoryStore>(kRecords);
        h->runStarted({adc::Mode::Int, 1, {}});
        std::mt19937 random(5);
        std::normal_distribution<double> noise(0, 10);
        std::array<double, adc::kMaxChannels> v{};
        for (std::int64_t i = 0; i < kRecords; ++i) {
            const double t = static_cast<double>(i) / kRate;
            v[0] = std::round(512 + 400 * std::sin(2 * std::numbers::pi * 50 * t) + noise(random));
            v[1] = std::round(512 + noise(random));
            v[2] = std::fmod(t, 2.0) < 1.0 ? 100 : 900;
            v[3] = static_cast<double>(i % 1024);
            h->append(std::llround(t * 1e6), i + 1, v);
        }
        return h;
    }();
    return *store;
}

// Random ranges of random lengths (one record to the whole history) of the four channels; the
// mean is Google Benchmark's time, the worst single range (in processor time) a counter.
void measureRandomRanges(benchmark::State &state)
{
    const adc::HistoryStore &h = history();
    const adc::RangeMeasurement measure(h);
    std::mt19937_64 random(9);
    double worst = 0;
    std::int64_t worstLength = 0;
    for (auto _ : state) {
        const std::int64_t length = std::llround(std::pow(10.0, (random() % 7001) / 1000.0));
        const std::int64_t from = static_cast<std::int64_t>(random() % (kRecords - length + 1));
        const double start = threadMilliseconds();
        benchmark::DoNotOptimize(
            measure.measure(from, from + length, static_cast<int>(random() % 4)));
        const double ms = threadMilliseconds() - start;
        worstLength = ms > worst ? length : worstLength;
        worst = std::max(worst, ms);
    }
    state.counters["worst_cpu_ms"] = worst;
    state.counters["worst_records"] = static_cast<double>(worstLength);
}

// The whole history of one channel: the longest range, with the frequency read in windows
// (the sine) or, when the windows hold no periods, from block means (noise, the square wave).
void measureWholeHistory(benchmark::State &state)
{
    const adc::RangeMeasurement measure(history());
    const int channel = static_cast<int>(state.range(0));
    for (auto _ : state) {
        benchmark::DoNotOptimize(measure.measure(0, kRecords, channel));
    }
}

// The trigger following the whole history on the sine (a fresh trigger each time): records a
// second; at 23,000 records a second its share of a core is 23,000 over that.
void triggerFollowsTheHistory(benchmark::State &state)
{
    const adc::HistoryStore &h = history();
    const adc::Trigger::Settings settings{
        0, 512, adc::Trigger::Edge::Rising, adc::Trigger::Sweep::Normal, 0.5, 2000, 20};
    for (auto _ : state) {
        adc::Trigger trigger;
        trigger.setSettings(settings);
        trigger.follow(h);
        benchmark::DoNotOptimize(trigger.held(h.end()));
    }
    state.SetItemsProcessed(state.iterations() * h.end());
}

} // namespace

BENCHMARK(measureRandomRanges)->Unit(benchmark::kMicrosecond)->Iterations(2000);
BENCHMARK(measureWholeHistory)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);
BENCHMARK(triggerFollowsTheHistory)->Unit(benchmark::kMillisecond)->Iterations(5);

BENCHMARK_MAIN();
