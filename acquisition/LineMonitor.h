#pragma once

#include "DropReason.h"
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
/// The run tells it what arrives, what becomes of each line and, after each block of
/// characters, the monotonic time the block was taken at; the totals are noted then, at most one
/// note per kNoteInterval (the newest block's totals always). stateAt() gives the rate and the
/// hint as of any later time without changing anything. The raw characters are searched for the
/// other mode's tag (a memchr for a character of it that this mode's records lack) and, only
/// while no record has been taken since the last note, for the first line feed.
class LineMonitor {
public:
    using Clock = std::chrono::steady_clock;

    /// Why a line was dropped.
    using Drop = DropReason;

    /// The likely cause when no record has been taken for kQuietTime.
    enum class Hint {
        None,       ///< records are taken (or the run is younger than kQuietTime)
        OtherMode,  ///< lines with the other mode's tag arrive
        NoLineEnds, ///< characters arrive, but no line feed among them
        NoRecords,  ///< lines arrive, but none is a record of either mode (or none is taken)
        Silence,    ///< nothing arrives at all
    };

    /// The records per second are counted over this much of the past.
    static constexpr Clock::duration kRateWindow = std::chrono::seconds(5);
    /// How long the line has to go without a record before a hint is given.
    static constexpr Clock::duration kQuietTime = std::chrono::seconds(3);
    /// Shortest time between two notes of the totals kept.
    static constexpr Clock::duration kNoteInterval = std::chrono::milliseconds(250);

    /// The rate and the hint as of one moment.
    struct State {
        double recordsPerSecond = 0.0;
        Hint hint = Hint::None;
    };

    explicit LineMonitor(Mode mode);

    /// Forgets everything, as at the start of a run at the monotonic time `start`.
    void reset(Clock::time_point start);

    /// Characters as they came from the port, before they are framed.
    void arrived(std::string_view characters);
    /// A record has been taken.
    void accepted() { ++m_now.accepted; }
    /// `lines` lines have been dropped for `reason`.
    void dropped(Drop reason, std::int64_t lines = 1)
    {
        m_drops[static_cast<std::size_t>(reason)] += lines;
    }

    /// The characters taken at the monotonic time `when` have been worked on.
    void blockDone(Clock::time_point when);

    /// Records per second over the last kRateWindow and the likely cause of a quiet line, as of
    /// the monotonic time `now` (no earlier than the last block).
    State stateAt(Clock::time_point now) const;
    /// Lines dropped for `reason` since the start.
    std::int64_t drops(Drop reason) const { return m_drops[static_cast<std::size_t>(reason)]; }
    /// Lines dropped since the start, for every reason.
    std::int64_t dropped() const;
    /// Records of the other mode seen since the start (its tag in the characters).
    std::int64_t otherModeRecords() const { return m_now.otherTagSightings; }
    /// "608 MCP records, not this mode"; empty when there were none.
    std::string otherModeText() const;
    /// `hint` in plain words for the user; empty for Hint::None.
    std::string_view hintText(Hint hint) const;

    /// The rate and the hint (when there is one) of `state` and the drops in plain words, joined
    /// by `separator`: "18.0 records per second", "dropped since Start: 0 wrong tag, 0 too few
    /// fields, 0 too long" (for other boards' lines every reason but the tag), the other mode's
    /// records when there were any, then the hint.
    std::string summary(std::string_view separator, const State &state) const;

private:
    /// Running totals. Line-end sightings go up by at most one between two notes.
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
    /// The totals when the newest note was begun.
    Counts m_atNote;
    /// The totals as noted, oldest first, reaching back just beyond kRateWindow; the newest is
    /// moved on with each block until it is kNoteInterval younger than the one before.
    std::deque<Sample> m_samples;
    std::array<std::int64_t, kDropReasonCount> m_drops{};
    /// The last characters of the stream (a tag's length less one), where a tag cut between
    /// two reads begins.
    static constexpr std::size_t kTail = 2;
    std::array<char, kTail> m_tail{};
    std::size_t m_tailLength = 0;
    /// Where in the other tag the character searched for is.
    std::size_t m_keyAt = 0;
};

} // namespace adc
