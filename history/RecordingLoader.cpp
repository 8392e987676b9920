#include "RecordingLoader.h"

#include "RecordingFormat.h"
#include "RecordingReader.h"

#include <cmath>

namespace adc {

bool RecordingLoader::load(std::istream &in, const Progress &progress)
{
    RecordingReader reader(in);
    RecordingRow row;
    constexpr std::int64_t kRowsPerProgress = 65536;
    while (reader.next(row)) {
        if (m_runs.empty() || m_runs.back().number != row.run || m_runs.back().mode != row.mode) {
            Run run{row.run, row.mode, 0, std::make_unique<HistoryStore>(m_capacity)};
            const auto started = RecordingFormat::readTime(row.time).value_or(
                                     std::chrono::system_clock::time_point{}) -
                                 std::chrono::microseconds(std::llround(row.seconds * 1e6));
            run.history->startRun(
                row.mode, row.run,
                std::chrono::time_point_cast<std::chrono::system_clock::duration>(started));
            m_runs.push_back(std::move(run));
        }
        Run &run = m_runs.back();
        run.history->append(
            std::llround(row.seconds * 1e6), row.count,
            std::span<const double>(row.values.data(),
                                    static_cast<std::size_t>(modeInfo(row.mode).channelCount)));
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
