#pragma once

#include "DropReason.h"
#include "LineVerdict.h"

#include <array>
#include <cstdint>
#include <string>

namespace adc {

class WireLog;

/// What became of the lines a wire log keeps, counted by verdict and drop reason, and said in a
/// few words so that the user sees at a glance why nothing is counted: "No lines from the port
/// yet", "Every line dropped: wrong tag", "Of the last 1000 lines: 990 taken, 10 dropped (10
/// too long)".
class LineSummary {
public:
    /// The lines `log` keeps now.
    static LineSummary of(const WireLog &log);

    /// One more line with `verdict`.
    void count(LineVerdict verdict);

    std::int64_t lines() const { return m_lines; }
    std::int64_t taken() const { return m_taken; }
    std::int64_t dropped() const { return m_dropped; }
    std::int64_t dropped(DropReason reason) const
    {
        return m_byReason[static_cast<std::size_t>(reason)];
    }
    /// Whether no line has been taken for its values though lines came.
    bool nothingTaken() const { return m_lines > 0 && m_taken == 0; }

    /// The summary in a sentence without a full stop.
    std::string text() const;

private:
    /// The drop reasons with their counts, most lines first: "10 too long, 2 not a number";
    /// only the reason when it is the only one and `bare`.
    std::string reasons(bool bare) const;

    std::int64_t m_lines = 0;
    std::int64_t m_taken = 0;
    std::int64_t m_names = 0;
    std::int64_t m_skipped = 0;
    std::int64_t m_dropped = 0;
    std::array<std::int64_t, kDropReasonCount> m_byReason{};
};

} // namespace adc
