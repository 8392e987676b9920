#pragma once

#include "ModeTable.h"

#include <array>
#include <cstdint>
#include <istream>
#include <span>
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
    /// How many channels the row has: a board mode's, or the columns of another board's header.
    int channels = 0;
    /// The row's channels hold their values (+infinity where saturated; NaN where another
    /// board's row left a cell empty); the others 0.
    std::array<double, kMaxTextChannels> values{};
};

/// Reads a recording (see RecordingFormat) row by row, checking each: a header first, and rows
/// with its fields (RFC 4180 quotes allowed), a known mode, whole `run` and `count`, a time of
/// zero or more. A board's row has a value of zero or more (or `inf`) in every channel of its
/// mode and none in the others, under the board's header; another board's row has a number or
/// nothing in each of its header's channels. A header line may come again between rows: the
/// rows after it have its columns. The first fault ends the reading, and error() names its
/// line ("line 7: ...").
class RecordingReader {
public:
    /// Reads from `in`, which must outlive the reader; the header is read at once.
    explicit RecordingReader(std::istream &in);

    /// Reads the next row into `row`; false at the end of the file or at a fault (see error()).
    bool next(RecordingRow &row);

    /// The channel columns of the header read last ("ch0" ... "ch7" for the board's).
    std::span<const std::string> names() const { return m_names; }
    /// Header lines read so far: one more means the rows from the last one have new columns.
    int headers() const { return m_headers; }

    /// What is wrong with the file, from the line concerned; empty while it reads well.
    const std::string &error() const { return m_error; }
    /// The line last read, counted from 1 (the header).
    std::uint64_t lineNumber() const { return m_lineNumber; }
    /// Bytes of the file read so far, for a progress bar.
    std::uint64_t bytesRead() const { return m_bytesRead; }

private:
    bool nextLine(std::string_view &line);
    std::string rowError(std::string_view line, RecordingRow &row);
    std::string channelsError(RecordingRow &row) const;
    void readHeader(std::string_view line);
    bool fail(const std::string &what);

    std::istream &m_in;
    std::vector<char> m_buffer;
    std::size_t m_begin = 0; ///< start of the unread part of m_buffer
    std::size_t m_end = 0;   ///< end of the bytes in m_buffer
    std::string m_longLine;  ///< a line longer than the buffer, or the last without a line feed
    std::vector<std::string_view> m_fields;
    std::string m_unquoted; ///< the fields of a quoted row, their quotes taken off
    std::vector<std::string> m_names;
    /// Whether the header read last is the board's.
    bool m_boardColumns = false;
    int m_headers = 0;
    std::uint64_t m_lineNumber = 0;
    std::uint64_t m_bytesRead = 0;
    std::string m_error;
};

} // namespace adc
