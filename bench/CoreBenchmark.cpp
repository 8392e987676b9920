// How fast the core turns the board's byte stream into display operations: framing, parsing and
// the run, with a display that does nothing. Reported as records per second and bytes per second.

#include "AcquisitionRun.h"
#include "CsvRecorder.h"
#include "IdleDisplay.h"
#include "QuietPort.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <random>
#include <string>
#include <unistd.h>

namespace {

// About 1 MB of records as the board sends them; `noiseShare` of the lines are malformed.
std::string boardStream(adc::Mode mode, double noiseShare, std::size_t *goodRecords)
{
    std::mt19937 random(7);
    std::uniform_int_distribution<int> value(0, adc::modeInfo(mode).fullScale);
    std::uniform_real_distribution<double> chance(0.0, 1.0);
    const adc::ModeInfo &info = adc::modeInfo(mode);
    std::string stream;
    *goodRecords = 0;
    while (stream.size() < 1'000'000) {
        if (chance(random) < noiseShare) {
            switch (random() % 4) {
            case 0:
                stream += "pic 0:1 1:2 2:3 3:4 4:5 5:6 6:7 7:8\r\n";
                break;
            case 1:
                stream += std::string(info.tag) + " 0:12\r\n";
                break; // too few fields
            case 2:
                stream += "\x01\xfe\xff garbage \x80\x81\r\n";
                break;
            default:
                stream += std::string(40, '\0') + "\r\n";
                break;
            }
            continue;
        }
        stream += info.tag;
        for (int k = 0; k < info.channelCount; ++k) {
            stream += ' ';
            stream += std::to_string(k);
            stream += ':';
            stream += std::to_string(value(random));
        }
        stream += "\r\n";
        ++*goodRecords;
    }
    return stream;
}

// A file for the recorded pipeline, in memory where the system has a folder for that (a
// recording is only ever written to a regular file).
std::filesystem::path scratchRecording()
{
    std::error_code error;
    const std::filesystem::path shm("/dev/shm");
    const std::filesystem::path dir =
        std::filesystem::is_directory(shm, error) ? shm : std::filesystem::temp_directory_path();
    return dir / ("adc-bench-" + std::to_string(::getpid()) + ".csv");
}

// With `recorded`, every record is also formatted as a CSV row and written to a scratch file;
// with `logged`, every line goes to the wire's log too, as in a session.
void runPipeline(benchmark::State &state, adc::Mode mode, double noiseShare, bool recorded = false,
                 bool logged = false)
{
    const std::filesystem::path recording = scratchRecording();
    std::size_t good = 0;
    const std::string stream = boardStream(mode, noiseShare, &good);
    adc::test::QuietPort port;
    IdleDisplay display;
    adc::WireLog wire;
    std::int64_t records = 0;
    for (auto _ : state) {
        adc::AcquisitionRun run(mode, port, display);
        run.setWireLog(logged ? &wire : nullptr);
        adc::CsvRecorder recorder;
        if (recorded) {
            std::filesystem::remove(recording);
        }
        if (recorded && recorder.open(recording, false)) {
            run.setObserver(&recorder);
        }
        run.start();
        // Pieces of the size the serial layer hands over.
        for (std::size_t at = 0; at < stream.size(); at += 16 * 1024) {
            run.process(std::string_view(stream).substr(at, 16 * 1024));
        }
        if (run.count() != static_cast<std::int64_t>(good)) {
            state.SkipWithError("the run miscounted");
            break;
        }
        records += run.count();
    }
    std::filesystem::remove(recording);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * stream.size()));
    state.counters["records/s"] =
        benchmark::Counter(static_cast<double>(records), benchmark::Counter::kIsRate);
}

void intRecords(benchmark::State &state)
{
    runPipeline(state, adc::Mode::Int, 0.0);
}
void intRecordsRecorded(benchmark::State &state)
{
    runPipeline(state, adc::Mode::Int, 0.0, true);
}
void intRecordsLogged(benchmark::State &state)
{
    runPipeline(state, adc::Mode::Int, 0.0, false, true);
}
void intRecordsLoggedRecorded(benchmark::State &state)
{
    runPipeline(state, adc::Mode::Int, 0.0, true, true);
}
void mcpRecords(benchmark::State &state)
{
    runPipeline(state, adc::Mode::Mcp3201, 0.0);
}
void intRecordsTenPercentNoise(benchmark::State &state)
{
    runPipeline(state, adc::Mode::Int, 0.1);
}
void mcpRecordsTenPercentNoise(benchmark::State &state)
{
    runPipeline(state, adc::Mode::Mcp3201, 0.1);
}

} // namespace

BENCHMARK(intRecords)->Unit(benchmark::kMillisecond);
BENCHMARK(intRecordsRecorded)->Unit(benchmark::kMillisecond);
BENCHMARK(intRecordsLogged)->Unit(benchmark::kMillisecond);
BENCHMARK(intRecordsLoggedRecorded)->Unit(benchmark::kMillisecond);
BENCHMARK(mcpRecords)->Unit(benchmark::kMillisecond);
BENCHMARK(intRecordsTenPercentNoise)->Unit(benchmark::kMillisecond);
BENCHMARK(mcpRecordsTenPercentNoise)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
