#pragma once

#include "ModeTable.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace adc {

/// Turns the serial character stream into records.
///
/// It discards characters until the sync character, then collects everything up to the next
/// line feed, dropping NUL characters, and appends one blank. Carriage returns and further sync
/// characters are kept. A record whose text, blank included, would be longer than
/// kMaxRecordLength is dropped whole; characters past the limit are not stored, so memory stays
/// bounded however long a line is.
class RecordFramer {
public:
    /// Longest record handed on, the appended blank included.
    static constexpr std::size_t kMaxRecordLength = adc::kMaxRecordLength;

    explicit RecordFramer(char sync);

    /// Consumes characters from the front of `input` until one record is complete (returns true;
    /// `input` then starts just after its line feed) or `input` is used up (returns false).
    bool feed(std::string_view &input);

    /// The record completed by the last successful feed(); the caller may change it in place.
    /// Valid until the next feed().
    std::string &record() { return m_record; }

    /// Records dropped so far because they were too long.
    std::size_t overlongDropped() const { return m_overlongDropped; }
    /// The (up to) two characters passed over on the record's line just before its sync
    /// character: "MC" when an INT reader framed the tail of an MCP record.
    std::string_view lead() const { return {m_recordLead, m_recordLeadLength}; }

    /// Forgets any partly collected record and starts hunting again.
    void reset();

private:
    void collect(std::string_view chunk);
    void keepLead(std::string_view passed);

    std::string m_record;
    std::size_t m_overlongDropped = 0;
    char m_sync;
    /// The last two characters passed over while hunting, oldest first.
    char m_lead[2] = {};
    std::size_t m_leadLength = 0;
    char m_recordLead[2] = {};
    std::size_t m_recordLeadLength = 0;
    bool m_collecting = false;
    bool m_complete = false;
    bool m_overlong = false;
};

} // namespace adc
