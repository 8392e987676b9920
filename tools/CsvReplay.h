#pragma once

#include "BoardFormat.h"
#include "LineSource.h"

#include <cstdint>
#include <istream>
#include <string>
#include <string_view>
#include <vector>

namespace adc {

/// A recording made by AD Converter, read back as the board's lines.
///
/// The recording is CSV (RFC 4180) with the header `time,seconds,run,mode,count,ch0,...,ch7`
/// and one row per record: `seconds` since its run's start, `mode` INT or MCP3201, the values
/// of the mode's channels (`inf` where the value saturated) and empty fields after them. Each
/// row becomes the record the board sent, with every value written so that the program reads
/// back the same number. Rows follow one another with their recorded spacing; a new run (another
/// `run` number) starts its own `seconds` after the last row of the run before.
class CsvReplay : public LineSource {
public:
    /// Reads the header and the first row from `in`. Lines end with `lineEnd`.
    CsvReplay(std::istream &in, std::string_view lineEnd);

    bool hasLine() const override { return m_ready; }
    LineOutcome appendLine(std::string &out) override;
    double recordedGap() const override { return m_gap; }

    /// Why the recording cannot be read on, from the line of the file concerned ("line 7: ...");
    /// empty while it can.
    const std::string &error() const { return m_error; }

private:
    void readRow();
    std::string rowError();

    std::istream &m_in;
    std::string m_lineEnd;
    std::uint64_t m_lineNumber = 0;
    std::string m_text;                ///< the line being read
    std::vector<std::string> m_fields; ///< its fields
    std::string m_mode;                ///< the recording's mode, from its first row
    RecordKind m_kind = RecordKind::Int;
    std::string m_run;      ///< the run of the last row read
    double m_seconds = 0.0; ///< its `seconds`
    std::string m_record;   ///< the record of the row read ahead, without its line end
    double m_nextGap = 0.0; ///< its gap to the row before
    double m_gap = -1.0;    ///< the gap before the line last appended
    bool m_ready = false;   ///< a row was read ahead
    std::string m_error;
};

} // namespace adc
