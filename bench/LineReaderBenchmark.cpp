// How fast the lines of other boards are read: the framing and the reader, with and without
// the wire's log fed every line, and the whole run as a session has it (the run's counts, the
// wire's log, the observers told; with a recording in the *Recorded cases). Reported as lines
// per second and bytes per second; part of core_benchmark.

#include "AcquisitionRun.h"
#include "CsvLineReader.h"
#include "CsvRecorder.h"
#include "IdleDisplay.h"
#include "KeyValueLineReader.h"
#include "LineFramer.h"
#include "QuietPort.h"
#include "TextBoard.h"
#include "WireLog.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

// About 1 MB of the simulated board's lines of eight channels; `lines` is how many.
std::string textStream(adc::TextBoard::Format format, std::int64_t *lines)
{
    adc::TextBoard board(format, 8, 7);
    std::string stream;
    *lines = 0;
    while (stream.size() < 1'000'000) {
        board.appendLine(stream);
        ++*lines;
    }
    return stream;
}

template <class Reader>
void readLines(benchmark::State &state, adc::TextBoard::Format format, bool logged)
{
    std::int64_t lines = 0;
    const std::string stream = textStream(format, &lines);
    adc::WireLog log;
    std::int64_t taken = 0;
    for (auto _ : state) {
        adc::LineFramer framer;
        Reader reader;
        log.clear();
        std::int64_t takenNow = 0;
        // Pieces of the size the serial layer hands over.
        for (std::size_t at = 0; at < stream.size(); at += 16 * 1024) {
            std::string_view chunk = std::string_view(stream).substr(at, 16 * 1024);
            while (framer.feed(chunk)) {
                const adc::LineVerdict verdict = reader.read(framer);
                takenNow += verdict == adc::LineVerdict::taken();
                if (logged) {
                    log.add(framer.line(), verdict, framer.length());
                }
            }
        }
        // The first line names the channels (CSV) or may have been cut (name:value).
        if (takenNow != lines - 1) {
            state.SkipWithError("the reader missed lines");
            break;
        }
        taken += takenNow;
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * stream.size()));
    state.counters["lines/s"] =
        benchmark::Counter(static_cast<double>(taken), benchmark::Counter::kIsRate);
}

void csvLines(benchmark::State &state)
{
    readLines<adc::CsvLineReader>(state, adc::TextBoard::Format::Csv, false);
}
void csvLinesLogged(benchmark::State &state)
{
    readLines<adc::CsvLineReader>(state, adc::TextBoard::Format::Csv, true);
}
void keyValueLines(benchmark::State &state)
{
    readLines<adc::KeyValueLineReader>(state, adc::TextBoard::Format::KeyValue, false);
}
void keyValueLinesLogged(benchmark::State &state)
{
    readLines<adc::KeyValueLineReader>(state, adc::TextBoard::Format::KeyValue, true);
}

// The run of a session: LineFramer, the format's reader, the wire log and the observers, with
// the lines' values recorded to a file in memory when `recorded`.
void runLines(benchmark::State &state, adc::Mode mode, bool recorded)
{
    const adc::TextBoard::Format format =
        mode == adc::Mode::Csv ? adc::TextBoard::Format::Csv : adc::TextBoard::Format::KeyValue;
    std::int64_t lines = 0;
    const std::string stream = textStream(format, &lines);
    const std::filesystem::path recording =
        std::filesystem::path("/dev/shm") / ("adc-bench-lines-" + std::to_string(::getpid()));
    adc::test::QuietPort port;
    IdleDisplay display;
    adc::WireLog wire;
    std::int64_t taken = 0;
    for (auto _ : state) {
        adc::AcquisitionRun run(mode, port, display);
        run.setWireLog(&wire);
        adc::CsvRecorder recorder;
        recorder.setFormat(adc::modeInfo(mode).format);
        std::filesystem::remove(recording);
        if (recorded && !recorder.open(recording, false)) {
            state.SkipWithError("no recording in /dev/shm");
            break;
        }
        run.setObserver(recorded ? &recorder : nullptr);
        wire.clear();
        run.start();
        for (std::size_t at = 0; at < stream.size(); at += 16 * 1024) {
            run.process(std::string_view(stream).substr(at, 16 * 1024));
        }
        if (run.count() != lines - 1 || wire.total() != lines) {
            state.SkipWithError("the run missed lines");
            break;
        }
        taken += run.count();
    }
    std::filesystem::remove(recording);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * stream.size()));
    state.counters["lines/s"] =
        benchmark::Counter(static_cast<double>(taken), benchmark::Counter::kIsRate);
}

void csvRun(benchmark::State &state)
{
    runLines(state, adc::Mode::Csv, false);
}
void csvRunRecorded(benchmark::State &state)
{
    runLines(state, adc::Mode::Csv, true);
}
void keyValueRun(benchmark::State &state)
{
    runLines(state, adc::Mode::KeyValue, false);
}
void keyValueRunRecorded(benchmark::State &state)
{
    runLines(state, adc::Mode::KeyValue, true);
}

} // namespace

BENCHMARK(csvRun)->Unit(benchmark::kMillisecond);
BENCHMARK(csvRunRecorded)->Unit(benchmark::kMillisecond);
BENCHMARK(keyValueRun)->Unit(benchmark::kMillisecond);
BENCHMARK(keyValueRunRecorded)->Unit(benchmark::kMillisecond);
BENCHMARK(csvLines)->Unit(benchmark::kMillisecond);
BENCHMARK(csvLinesLogged)->Unit(benchmark::kMillisecond);
BENCHMARK(keyValueLines)->Unit(benchmark::kMillisecond);
BENCHMARK(keyValueLinesLogged)->Unit(benchmark::kMillisecond);
