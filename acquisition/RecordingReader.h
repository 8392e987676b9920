#pragma once

#include "ModeTable.h"

#include <array>
#include <cstdint>
#include <istream>
#include <string>
#include <string_view>
#include <vector>

namespace adc {

/// One row of a recording, as read.
struct RecordingRow {
    /// The `time` column (valid until the next row is read).
    std::string_view time;
    double seconds = 0.0;
    std::int64_t run = 0;
    Mode mode = Mode::Int;
    std::int64_t count = 0;
    /// The mode's channels hold their values (+infinity where saturated); the others 0.
    std::array<double, kMaxChannels> values{};
};

/// Reads a recording (see RecordingFormat) row by row, checking each: its header, thirteen
/// fields (RFC 4180 quotes allowed), a known mode, whole `run` and `count`, a time of zero or
/// more, a value in every channel of the mode and none in the others. The first fault ends the
/// reading, and error() names its line ("line 7: ...").
class RecordingReader {
public:
    /// Reads from `in`, which must outlive the reader; the header is read at once.
    explicit RecordingReader(std::istream &in);

    /// Reads the next row into `row`; false at the end of the file or at a fault (see error()).
    bool next(RecordingRow &row);

    /// What is wrong with the file, from the line concerned; empty while it reads well.
    const std::string &error() const { return m_error; }
    /// The line last read, counted from 1 (the header).
    std::uint64_t lineNumber() const { return m_lineNumber; }
    /// Bytes of the file read so far, for a progress bar.
    std::uint64_t bytesRead() const { return m_bytesRead; }

private:
    bool nextLine(std::string_view &line);
    std::string rowError(std::string_view line, RecordingRow &row);
    bool fail(const std::string &what);

    std::istream &m_in;
    std::vector<char> m_buffer;
    std::size_t m_begin = 0; ///< start of the unread part of m_buffer
    std::size_t m_end = 0;   ///< end of the bytes in m_buffer
    std::string m_longLine;  ///< a line longer than the buffer, or the last without a line feed
    std::vector<std::string_view> m_fields;
    std::string m_unquoted; ///< the fields of a quoted row, their quotes taken off
    std::uint64_t m_lineNumber = 0;
    std::uint64_t m_bytesRead = 0;
    std::string m_error;
};

} // namespace adc
