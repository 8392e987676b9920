#pragma once

#include "ModeTable.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

namespace adc {

/// Watches the line of one acquisition run: records per second over the last seconds, the lines
/// dropped since the start by reason, the other mode's records (counted apart: they are not
/// dropped, they belong to the other Start button), and, when nothing has been taken for a few
/// seconds, the likely cause in plain words (the board in the other mode, a wrong speed, no board).
///
/// The run tells it what arrives and what becomes of each line; the caller brings the time:
/// update() with a monotonic clock, about once a second, after which the rate and the hint stand
/// until the next update. The raw characters are searched for the other mode's tag (a memchr for
/// a character of it that this mode's records lack) and, only while no record has been taken
/// since the last update, for the first line feed.
class LineMonitor {
public:
    using Clock = std::chrono::steady_clock;

    /// Why a line was dropped.
    enum class Drop {
        WrongTag,     ///< it did not start with the mode's tag
        TooFewFields, ///< it had fewer fields than the mode has channels
        TooLong,      ///< it ran past the longest record
    };

    /// The likely cause when no record has been taken for kQuietTime.
    enum class Hint {
        None,       ///< records are taken (or the run is younger than kQuietTime)
        OtherMode,  ///< lines with the other mode's tag arrive
        NoLineEnds, ///< characters arrive, but no line feed among them
        NoRecords,  ///< lines arrive, but none is a record of either mode
        Silence,    ///< nothing arrives at all
    };

    /// The records per second are counted over this much of the past.
    static constexpr Clock::duration kRateWindow = std::chrono::seconds(5);
    /// How long the line has to go without a record before a hint is given.
    static constexpr Clock::duration kQuietTime = std::chrono::seconds(3);

    explicit LineMonitor(Mode mode);

    /// Forgets everything, as at the start of a run.
    void reset();

    /// Characters as they came from the port, before they are framed.
    void arrived(std::string_view characters);
    /// A record has been taken.
    void accepted() { ++m_now.accepted; }
    /// `lines` lines have been dropped for `reason`.
    void dropped(Drop reason, std::int64_t lines = 1)
    {
        m_drops[static_cast<std::size_t>(reason)] += lines;
    }

    /// Takes stock at the monotonic time `now`; the first call marks the start of the watch.
    void update(Clock::time_point now);

    /// Records taken per second, as of the last update.
    double recordsPerSecond() const { return m_rate; }
    /// Lines dropped for `reason` since the start.
    std::int64_t drops(Drop reason) const { return m_drops[static_cast<std::size_t>(reason)]; }
    /// Lines dropped since the start, for every reason.
    std::int64_t dropped() const;
    /// Records of the other mode seen since the start (its tag in the characters).
    std::int64_t otherModeRecords() const { return m_now.otherTagSightings; }
    /// "608 MCP records, not this mode"; empty when there were none.
    std::string otherModeText() const;
    /// The likely cause of a quiet line, as of the last update.
    Hint hint() const { return m_hint; }
    /// The hint in plain words for the user; empty for Hint::None.
    std::string_view hintText() const;

    /// The rate, the drops and the hint (when there is one) in plain words, joined by
    /// `separator`: "18.0 records per second", "dropped since Start: 0 wrong tag, 0 too few
    /// fields, 0 too long", the other mode's records when there were any, then the hint.
    std::string summary(std::string_view separator) const;

private:
    /// Running totals. Line-end sightings go up by at most one between two updates.
    struct Counts {
        std::int64_t bytes = 0;
        std::int64_t lineEndSightings = 0;
        std::int64_t otherTagSightings = 0;
        std::int64_t accepted = 0;
    };
    struct Sample {
        Clock::time_point time;
        Counts counts;
    };

    void countOtherTags(std::string_view characters);
    Hint findHint(Clock::time_point now) const;

    Mode m_mode;
    std::string_view m_otherTag;
    Counts m_now;
    /// The totals at the last update.
    Counts m_atUpdate;
    /// The totals at past updates, oldest first, reaching back just beyond kRateWindow.
    std::deque<Sample> m_samples;
    std::array<std::int64_t, 3> m_drops{};
    /// The last characters of the stream (a tag's length less one), where a tag cut between
    /// two reads begins.
    static constexpr std::size_t kTail = 2;
    std::array<char, kTail> m_tail{};
    std::size_t m_tailLength = 0;
    /// Where in the other tag the character searched for is.
    std::size_t m_keyAt = 0;
    double m_rate = 0.0;
    Hint m_hint = Hint::None;
};

} // namespace adc
