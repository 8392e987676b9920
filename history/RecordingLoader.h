#pragma once

#include "HistoryStore.h"

#include <cstdint>
#include <functional>
#include <istream>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace adc {

struct RecordingRow;

/// A recording read back into histories, one per run, for the scope to show.
class RecordingLoader {
public:
    /// One run of the recording: its number and mode, its rows, and the newest of them up to
    /// the capacity.
    struct Run {
        std::int64_t number = 0;
        Mode mode = Mode::Int;
        std::int64_t rows = 0;
        std::unique_ptr<HistoryStore> history;
    };
    /// Told the bytes read so far now and then; reading stops when it returns false.
    using Progress = std::function<bool(std::uint64_t bytesRead)>;

    /// Each run keeps its newest `capacity` records.
    explicit RecordingLoader(std::int64_t capacity) : m_capacity(capacity) {}

    /// Reads every row of `in` into its run (a run number in a mode): rows of runs that take
    /// turns go each to their own, and a run whose time goes back begins again as one more run.
    /// False at a bad row (error() names its line; the rows before it are kept) or when
    /// `progress` stopped it.
    bool load(std::istream &in, const Progress &progress = {});

    std::vector<Run> &runs() { return m_runs; }
    const std::string &error() const { return m_error; }
    /// Rows read so far.
    std::int64_t rows() const { return m_rows; }

private:
    Run &runOf(const RecordingRow &row, std::int64_t micros);

    std::int64_t m_capacity;
    std::vector<Run> m_runs;
    /// The latest run of each number and mode, and the run of the row before.
    std::map<std::pair<std::int64_t, Mode>, std::size_t> m_latest;
    std::size_t m_current = 0;
    std::string m_error;
    std::int64_t m_rows = 0;
};

} // namespace adc
