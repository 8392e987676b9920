#pragma once

#include "HistoryStore.h"

#include <cstdint>
#include <functional>
#include <istream>
#include <memory>
#include <string>
#include <vector>

namespace adc {

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

    /// Reads every row of `in`; a new run begins where the run number or the mode changes.
    /// False at a bad row (error() names its line; the runs before it are kept) or when
    /// `progress` stopped it.
    bool load(std::istream &in, const Progress &progress = {});

    std::vector<Run> &runs() { return m_runs; }
    const std::string &error() const { return m_error; }
    /// Rows read so far.
    std::int64_t rows() const { return m_rows; }

private:
    std::int64_t m_capacity;
    std::vector<Run> m_runs;
    std::string m_error;
    std::int64_t m_rows = 0;
};

} // namespace adc
