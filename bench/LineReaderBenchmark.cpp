// How fast the lines of other boards are read: the framing and the reader, with and without
// the wire's log fed every line. Reported as lines per second and bytes per second; part of
// core_benchmark.

#include "CsvLineReader.h"
#include "KeyValueLineReader.h"
#include "LineFramer.h"
#include "TextBoard.h"
#include "WireLog.h"

#include <benchmark/benchmark.h>

#include <string>

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

} // namespace

BENCHMARK(csvLines)->Unit(benchmark::kMillisecond);
BENCHMARK(csvLinesLogged)->Unit(benchmark::kMillisecond);
BENCHMARK(keyValueLines)->Unit(benchmark::kMillisecond);
BENCHMARK(keyValueLinesLogged)->Unit(benchmark::kMillisecond);
