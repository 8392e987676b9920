// What the scope costs: a repaint of a 1280 x 720 plot with the whole history in view, from
// 10^3 to 10^7 records; the history's share of a flood through the core; its bytes per record;
// and how fast a recording is read back for --view.

#include "AcquisitionRun.h"
#include "CsvRecorder.h"
#include "HistoryStore.h"
#include "IdleDisplay.h"
#include "InterruptibleFile.h"
#include "QuietPort.h"
#include "RecordingLoader.h"
#include "ScopeView.h"

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <unistd.h>

namespace {

// INT records at the 9600-baud pace (about 24 a second), slow waves with noise and a square wave.
void fill(adc::HistoryStore &history, std::int64_t records)
{
    std::mt19937 random(3);
    std::uniform_int_distribution<int> noise(-8, 8);
    history.runStarted({adc::Mode::Int, 1, {}});
    std::array<double, adc::kMaxChannels> v{};
    for (std::int64_t i = 0; i < records; ++i) {
        for (std::size_t k = 0; k < v.size(); ++k) {
            v[k] =
                std::clamp(512.0 + 400.0 * std::sin(static_cast<double>(i) / (300.0 + 97.0 * k)) +
                               noise(random),
                           0.0, double(adc::modeInfo(adc::Mode::Int).fullScale));
        }
        v[3] = (i / 500) % 2 == 0 ? 100.0 : 900.0;
        history.append(i * 41'667, i + 1, v);
    }
}

void repaintWholeHistory(benchmark::State &state)
{
    const auto records = static_cast<std::int64_t>(state.range(0));
    adc::HistoryStore history(records);
    fill(history, records);
    adc::ScopeView view;
    view.resize(1280 + 64 + 16, 720 + 62 + 34); // a plot area of 1280 x 720
    view.setHistory(&history);
    view.setLive(false);
    view.fitAll();
    QImage image(view.size(), QImage::Format_RGB32);
    for (auto _ : state) {
        view.render(&image);
        benchmark::DoNotOptimize(image.constBits());
    }
    state.counters["plot_width"] = view.plotRect().width();
    state.counters["bytes/record"] = history.bytesPerRecord();
}

// The core's flood with the history as an observer, against the same without (intRecords).
void flood(benchmark::State &state, bool withHistory)
{
    std::string stream;
    std::mt19937 random(7);
    while (stream.size() < 1'000'000) {
        stream += adc::modeInfo(adc::Mode::Int).tag;
        for (int k = 0; k < adc::kMaxChannels; ++k) {
            stream += ' ' + std::to_string(k) + ':' + std::to_string(random() % 1024);
        }
        stream += "\r\n";
    }
    adc::test::QuietPort port;
    IdleDisplay display;
    adc::HistoryStore history;
    std::int64_t records = 0;
    for (auto _ : state) {
        adc::AcquisitionRun run(adc::Mode::Int, port, display);
        if (withHistory) {
            run.setObserver(&history);
        }
        run.start();
        for (std::size_t at = 0; at < stream.size(); at += 16 * 1024) {
            run.process(std::string_view(stream).substr(at, 16 * 1024));
        }
        records += run.count();
    }
    state.counters["records/s"] =
        benchmark::Counter(static_cast<double>(records), benchmark::Counter::kIsRate);
}

void floodWithoutHistory(benchmark::State &state)
{
    flood(state, false);
}

void floodWithHistory(benchmark::State &state)
{
    flood(state, true);
}

// --view: a recording of 1,000,000 INT rows written by the recorder, read back as the scope
// reads it.
void readRecording(benchmark::State &state)
{
    const auto path = std::filesystem::temp_directory_path() /
                      ("adc-bench-" + std::to_string(::getpid()) + ".csv");
    constexpr std::int64_t kRows = 1'000'000;
    {
        adc::HistoryStore history(kRows);
        fill(history, kRows);
        adc::CsvRecorder recorder;
        recorder.open(path.string(), false);
        const adc::RunStart start{adc::Mode::Int, 1, adc::RunClock::system().now()};
        recorder.runStarted(start);
        std::array<double, adc::kMaxChannels> v{};
        for (std::int64_t i = 0; i < kRows; ++i) {
            for (int k = 0; k < adc::kMaxChannels; ++k) {
                v[static_cast<std::size_t>(k)] = history.value(i, k);
            }
            recorder.charactersTaken({start.at, history.micros(i), 1});
            recorder.recordAccepted({adc::Mode::Int, i + 1, v});
        }
        recorder.close();
    }
    std::int64_t rows = 0;
    for (auto _ : state) {
        adc::InterruptibleFile file(path.string(), {});
        std::istream in(&file);
        adc::RecordingLoader loader(adc::HistoryStore::kDefaultCapacity);
        loader.load(in);
        rows += loader.rows();
    }
    state.counters["rows/s"] =
        benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kIsRate);
    state.counters["MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
    std::filesystem::remove(path);
}

} // namespace

BENCHMARK(repaintWholeHistory)
    ->Arg(1'000)
    ->Arg(10'000)
    ->Arg(100'000)
    ->Arg(1'000'000)
    ->Arg(10'000'000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(floodWithoutHistory)->Unit(benchmark::kMillisecond);
BENCHMARK(floodWithHistory)->Unit(benchmark::kMillisecond);
BENCHMARK(readRecording)->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
