#pragma once

#include "LineSource.h"
#include "RecordingReader.h"

#include <istream>
#include <optional>
#include <string>
#include <string_view>

namespace adc {

/// A recording made by AD Converter, read back as the board's lines.
///
/// The recording is read by RecordingReader, which checks every row. Each row becomes the
/// record the board sent, with every value written so that the program reads back the same
/// number. Rows of another board's lines become such lines: in CSV the values (a line of the
/// header's names first, and again when the header changes), in name:value pairs every
/// channel's pair, "nan" where a cell is empty. Rows follow one another with their recorded
/// spacing; a new run (another `run` number) starts its own `seconds` after the last row of the
/// run before. A recording holds records of one mode.
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
    void writeRecord();
    void writeLine();

    RecordingReader m_reader;
    std::string m_lineEnd;
    RecordingRow m_row;
    std::optional<Mode> m_mode; ///< the recording's mode, from its first row
    std::int64_t m_run = -1;    ///< the run of the last row read
    double m_seconds = 0.0;     ///< its `seconds`
    std::string m_record;       ///< the record of the row read ahead, without its line end
    double m_nextGap = 0.0;     ///< its gap to the row before
    double m_gap = -1.0;        ///< the gap before the line last appended
    int m_headers = 0;          ///< the reader's header count when the last names went
    bool m_ready = false;       ///< a row was read ahead
    std::string m_error;
};

} // namespace adc
