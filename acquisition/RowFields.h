#pragma once

#include "ModeTable.h"
#include "RecordObserver.h"
#include "RecordingFormat.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <string_view>

namespace adc {

/// The text of a record's fields in the recording's format (see RecordingFormat): the one
/// writer of `time`, `seconds`, `run`, `mode`, `count` and the channels for every output of
/// records (the recording, the scope's export, the published JSON), so that a record reads the
/// same in each.
///
/// The fields the records of one block share (time, seconds, run) are written once by
/// setStamp(); the date and time of day once per second of the stamps.
class RowFields {
public:
    /// Longest row writeCsvRow() writes, line feed included: the fixed columns and the most
    /// channels in their longest values.
    static constexpr std::size_t kMaxCsvRow =
        256 + kMaxTextChannels * (1 + RecordingFormat::kMaxValueLength);

    /// Fields of a stamp at the epoch, run 0, until setStamp() is called.
    RowFields() { setStamp({}, 0, 0); }

    /// The records from now on were taken at `wall`, `micros` after their run's Start, in run
    /// number `run`.
    void setStamp(std::chrono::system_clock::time_point wall, std::int64_t micros,
                  std::int64_t run);
    void setStamp(const Stamp &stamp) { setStamp(stamp.at.wall, stamp.micros, stamp.run); }

    /// "2026-12-07T08:15:02.123Z": UTC with milliseconds.
    std::string_view time() const { return {m_text, RecordingFormat::kTimeLength}; }
    /// "0.052113": the time since Start in seconds with six decimals.
    std::string_view seconds() const { return {m_text + m_secondsAt, m_secondsLength}; }
    /// "1": the run's number.
    std::string_view run() const { return {m_text + m_runAt, m_runLength}; }
    /// "INT", "MCP3201", "csv" or "keyvalue".
    static std::string_view mode(Mode mode) { return modeInfo(mode).recordingName; }
    /// Writes the sample count and returns the end of the text.
    static char *writeCount(char *out, std::int64_t count);
    /// Writes a channel's value exactly and shortest (RecordingFormat::writeValue).
    static char *writeValue(char *out, double value)
    {
        return RecordingFormat::writeValue(out, value);
    }

    /// Writes the row of a record of `mode` with the sample count `count` and the mode's
    /// `values`, line feed included; returns the end (at most kMaxCsvRow characters on). A
    /// board's row has all eight channel columns, those the mode lacks left empty; another
    /// board's row has one column per value (at most kMaxTextChannels), empty for NaN.
    char *writeCsvRow(char *out, Mode mode, std::int64_t count, std::span<const double> values);

private:
    /// "time,seconds,run," of the stamp, and the mode after it once a row has been written.
    char m_text[96] = {};
    std::size_t m_secondsAt = 0;
    std::size_t m_secondsLength = 0;
    std::size_t m_runAt = 0;
    std::size_t m_runLength = 0;
    std::size_t m_prefixLength = 0;
    /// Length of "time,seconds,run,mode,", 0 until a row of m_rowMode is written.
    std::size_t m_rowPrefixLength = 0;
    Mode m_rowMode = Mode::Int;
    /// The wall-clock second whose "YYYY-MM-DDTHH:MM:SS." starts m_text.
    std::int64_t m_second = std::numeric_limits<std::int64_t>::min();
};

} // namespace adc
