#pragma once

#include "WireLog.h"

#include <chrono>
#include <cstdint>
#include <string>

namespace adc {

/// Tells the lines a run dropped, each with its reason, as text for a terminal: at most
/// kPerSecond lines in a second, the others counted and told on one line once the second is
/// over (or at finish()). It reads them from the run's wire log after each block of characters.
class DropReport {
public:
    using Clock = std::chrono::steady_clock;
    /// Dropped lines told in a second at most.
    static constexpr int kPerSecond = 10;

    /// Appends to `out`, one text line each, the lines `wire` has marked dropped since the last
    /// call at the monotonic time `now` ("dropped (not a number): 1,x"), and the count of those
    /// not told when a second has ended. A wire log started afresh is read from its start.
    void collect(const WireLog &wire, Clock::time_point now, std::string &out);
    /// Appends the count of dropped lines not told yet, if any.
    void finish(std::string &out);

private:
    void tell(const WireLog::Entry &entry, std::string &out);

    /// Lines of the wire log looked at so far.
    std::int64_t m_seen = 0;
    Clock::time_point m_secondStart{};
    int m_told = 0;
    std::int64_t m_untold = 0;
    /// Lines that left the wire log before they were looked at.
    std::int64_t m_unread = 0;
};

} // namespace adc
