#pragma once

#include "ModeTable.h"

#include <chrono>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace adc {

/// The columns of a recording and how its fields are written: the one place that knows them,
/// for the recorder and for every reader of recordings.
///
///     time,seconds,run,mode,count,ch0,ch1,ch2,ch3,ch4,ch5,ch6,ch7
///     2026-12-07T08:15:02.123Z,0.052113,1,INT,1,512,1.5,1000,inf,0,0,0,0
///
/// Channel values are written exactly and shortest; a saturated value is `inf`; the channels
/// a mode lacks stay empty.
///
/// A run of another board's lines has a header of its own, its channels named as its lines
/// named them (made safe for a CSV header), and the format's name in `mode`; a value its line
/// did not give stays empty:
///
///     time,seconds,run,mode,count,temp,hum
///     2026-12-07T08:15:02.123Z,0.052113,1,keyvalue,1,23.5,-40
///
/// A header line comes again before the rows whenever the columns change, so one file may hold
/// runs of several kinds; each row has the fields of the header above it.
class RecordingFormat {
public:
    /// The header line, line feed included.
    static constexpr std::string_view kHeaderLine =
        "time,seconds,run,mode,count,ch0,ch1,ch2,ch3,ch4,ch5,ch6,ch7\n";
    /// The header without its line end.
    static constexpr std::string_view kHeader = kHeaderLine.substr(0, kHeaderLine.size() - 1);

    /// The columns every row begins with, without the comma after them.
    static constexpr std::string_view kFixedColumns = "time,seconds,run,mode,count";
    /// Longest a channel's column name is, in bytes; longer names are cut.
    static constexpr std::size_t kMaxColumnName = 64;

    /// Whether `line` (without its line end) is a header line: the fixed columns, a comma and
    /// at least one channel.
    static bool isHeader(std::string_view line);
    /// The channels' names made safe for a CSV header: every byte that is not printable ASCII,
    /// and every blank, comma, semicolon, double quote and backslash, becomes "_"; a name is cut to
    /// kMaxColumnName bytes; an empty name is "ch" and its channel's number; a name met before
    /// (a fixed column's included) gets "_2", "_3", ... until it is new.
    static std::vector<std::string> columnNames(std::span<const std::string> names);
    /// The header line (line feed included) of the channel columns `columns`, as columnNames()
    /// gives them.
    static std::string headerLine(std::span<const std::string> columns);

    /// The columns by their place in a row.
    enum Column : std::size_t { Time, Seconds, Run, ModeName, Count, FirstChannel };
    static constexpr std::size_t kColumns = FirstChannel + kMaxChannels;

    /// How a saturated value (too large for a double) is written.
    static constexpr std::string_view kSaturated = "inf";
    /// Longest text writeValue() produces.
    static constexpr std::size_t kMaxValueLength = 32;

    /// The name of `mode` in the `mode` column: "INT", "MCP3201", "csv" or "keyvalue".
    static std::string_view modeName(Mode mode);
    /// The mode named `name` in the `mode` column; none for any other text.
    static std::optional<Mode> modeNamed(std::string_view name);

    /// Writes `value` as the shortest text that reads back as it exactly ("512", "1.5", "1e+22",
    /// "inf") and returns the end of the text (at most kMaxValueLength characters).
    static char *writeValue(char *out, double value);
    /// Writes a value of one to six decimals from 0.001 to 1e9 in magnitude ("22.19") as
    /// writeValue() does, only faster, and returns the end; nullptr for any other value.
    static char *writeShortDecimal(char *out, double value);
    /// Writes the `time` column, UTC with milliseconds ("2026-12-07T08:15:02.123Z"), and returns
    /// the end of the text (kTimeLength characters).
    static char *writeTime(char *out, std::chrono::system_clock::time_point time);
    static constexpr std::size_t kTimeLength = 24;
    /// Writes the `seconds` column from the time since Start: whole seconds and six decimals
    /// ("0.052113"), and returns the end of the text.
    static char *writeSeconds(char *out, std::chrono::microseconds sinceStart);
    /// Writes `value` as exactly `width` decimal digits, with leading zeros, and returns the end.
    static char *writeDigits(char *out, unsigned value, int width);
    /// Reads the `time` column as written; none for anything else.
    static std::optional<std::chrono::system_clock::time_point> readTime(std::string_view text);

    /// Reads a channel value or `seconds` as written: a plain number of zero or more, or
    /// kSaturated when `saturatedAllowed`. None for anything else.
    static std::optional<double> readValue(std::string_view text, bool saturatedAllowed = true);
};

} // namespace adc
