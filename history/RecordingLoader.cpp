#include "RecordingLoader.h"

#include "RecordingFormat.h"
#include "RecordingReader.h"

#include <cmath>

namespace adc {

RecordingLoader::Run &RecordingLoader::runOf(const RecordingRow &row, std::int64_t micros)
{
    const auto takes = [&](std::size_t index) {
        const Run &run = m_runs[index];
        return run.number == row.run && run.mode == row.mode &&
               run.history->micros(run.history->end() - 1) <= micros;
    };
    if (m_current < m_runs.size() && takes(m_current)) {
        return m_runs[m_current];
    }
    const auto key = std::pair(row.run, row.mode);
    const auto latest = m_latest.find(key);
    if (latest != m_latest.end() && takes(latest->second)) {
        m_current = latest->second;
        return m_runs[m_current];
    }
    Run run{row.run, row.mode, 0, std::make_unique<HistoryStore>(m_capacity)};
    const auto started =
        RecordingFormat::readTime(row.time).value_or(std::chrono::system_clock::time_point{}) -
        std::chrono::microseconds(micros);
    run.history->startRun(
        row.mode, row.run,
        std::chrono::time_point_cast<std::chrono::system_clock::duration>(started));
    m_runs.push_back(std::move(run));
    m_current = m_latest[key] = m_runs.size() - 1;
    return m_runs.back();
}

bool RecordingLoader::load(std::istream &in, const Progress &progress)
{
    RecordingReader reader(in);
    RecordingRow row;
    constexpr std::int64_t kRowsPerProgress = 65536;
    // The run and the header its channels were last named from.
    std::size_t namedRun = m_runs.size();
    int namedHeader = 0;
    while (reader.next(row)) {
        const std::int64_t micros = std::llround(row.seconds * 1e6);
        Run &run = runOf(row, micros);
        if (m_current != namedRun || reader.headers() != namedHeader) {
            run.history->channelsNamed(
                reader.names().first(static_cast<std::size_t>(row.channels)));
            namedRun = m_current;
            namedHeader = reader.headers();
        }
        run.history->append(
            micros, row.count,
            std::span<const double>(row.values.data(), static_cast<std::size_t>(row.channels)),
            RecordingFormat::readTime(row.time));
        ++run.rows;
        if (++m_rows % kRowsPerProgress == 0 && progress && !progress(reader.bytesRead())) {
            return false;
        }
    }
    m_error = reader.error();
    if (progress) {
        progress(reader.bytesRead());
    }
    return m_error.empty();
}

} // namespace adc
