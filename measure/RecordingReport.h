#pragma once

#include "MeasurementTable.h"
#include "RecordingLoader.h"

#include <cstdint>
#include <istream>
#include <optional>
#include <string>

namespace adc {

/// A run of a recording, and a stretch of it, for a report made without a window: the
/// measurements of each channel as text, or (drawn elsewhere) its plot.
class RecordingReport {
public:
    /// Which run (as numbered in the recording's `run` column; none: the first) and which
    /// seconds since its Start (none: from its first record, to its last).
    struct Choice {
        std::optional<std::int64_t> run;
        std::optional<double> from;
        std::optional<double> to;
    };

    /// Each run keeps its newest `capacity` records.
    explicit RecordingReport(std::int64_t capacity) : m_loader(capacity) {}

    /// Reads the recording and picks the run and range of `choice`. False, with error() saying
    /// why in a sentence, for a bad row, no records, no such run or no records in the range.
    bool load(std::istream &in, const Choice &choice);
    const std::string &error() const { return m_error; }

    const HistoryStore &history() const { return *m_history; }
    /// The records chosen: [first(), end()).
    std::int64_t first() const { return m_first; }
    std::int64_t end() const { return m_end; }

    /// One line per channel, after the header. `units` may be null (counts).
    std::string stats(MeasurementTable::Style style, const ChannelUnits *units) const;

private:
    bool choose(const Choice &choice);
    bool fail(std::string text);

    RecordingLoader m_loader;
    const HistoryStore *m_history = nullptr;
    std::int64_t m_first = 0;
    std::int64_t m_end = 0;
    std::string m_error;
};

} // namespace adc
