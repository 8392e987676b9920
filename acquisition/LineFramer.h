#pragma once

#include "ModeTable.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace adc {

/// Cuts the character stream of a board that prints plain lines into lines.
///
/// A line runs to the next line feed; a carriage return just before it is no part of the line,
/// and NUL characters are dropped, as the board's framer drops them. A line is too long when,
/// its line feed counted and NULs not, it has more than kMaxRecordLength characters (as a
/// board's record with its closing blank): it is handed on marked so, with its first characters
/// only, and what runs past them is counted, not stored, so memory stays bounded however long
/// a line runs without a line feed.
class LineFramer {
public:
    /// Most characters a line may have, without its line feed.
    static constexpr std::size_t kMaxLineLength = kMaxRecordLength - 1;

    LineFramer() { m_line.reserve(128); }

    /// Consumes characters from the front of `input` until one line is complete (returns true;
    /// `input` then starts just after its line feed) or `input` is used up (returns false).
    bool feed(std::string_view &input);

    /// The line completed by the last successful feed(), without its line end; for a line too
    /// long, its first kMaxLineLength characters. Valid until the next feed().
    std::string_view line() const { return m_line; }
    /// How many characters the line had (NULs and its line end not counted): more than line()
    /// holds when it was too long.
    std::size_t length() const { return m_length; }
    /// Whether the line ran past kMaxLineLength.
    bool tooLong() const { return m_length > kMaxLineLength; }
    /// Whether the line began just after a line feed: the first line after reset() may have
    /// begun before the port was opened.
    bool whole() const { return m_whole; }

    /// Forgets any partly collected line; the next line is not known to be whole.
    void reset();

private:
    void collect(std::string_view chunk);

    std::string m_line;
    std::size_t m_length = 0;
    bool m_complete = false;
    /// Whether the line being collected began after a line feed.
    bool m_startedAfterLineFeed = false;
    bool m_whole = false;
};

} // namespace adc
