#pragma once

#include "LineVerdict.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace adc {

/// The last lines from the port as they came, each with what became of it, for a view of the
/// wire and for copying.
///
/// It keeps up to kCapacity lines in memory set aside once: of each line its first
/// kKeptCharacters characters and its length, so a longer line shows as cut. Adding a line
/// copies those characters and nothing else, so the run can add every line it reads. While
/// paused, lines are counted but not kept, so what is shown stays as it was.
class WireLog {
public:
    /// How many lines are kept.
    static constexpr std::size_t kCapacity = 1000;
    /// How many characters of a line are kept.
    static constexpr std::size_t kKeptCharacters = 240;

    /// One line kept.
    struct Entry {
        std::int64_t number;   ///< which line since the start it was, from 1
        std::string_view text; ///< its first characters (valid until the next add or clear)
        std::size_t length;    ///< how many characters it had
        LineVerdict verdict;

        bool cut() const { return text.size() < length; }
    };

    WireLog();

    /// A line has been read (without its line end) with `verdict`. `length` is how many
    /// characters it had when `line` holds only its first ones (a line too long).
    void add(std::string_view line, LineVerdict verdict, std::size_t length = 0);

    /// Forgets every line, as at Start; a pause ends.
    void clear();

    /// Lines kept, oldest first.
    std::size_t size() const { return m_size; }
    /// Line `index` kept, 0 the oldest.
    Entry entry(std::size_t index) const;
    /// Lines added since the start, kept or not.
    std::int64_t total() const { return m_total; }

    /// Keeps what is kept as it is; lines added from now on are counted only.
    void pause();
    /// Keeps lines again.
    void resume() { m_paused = false; }
    bool paused() const { return m_paused; }
    /// Lines added since the last pause began, and how many of them were taken.
    std::int64_t sincePause() const { return m_sincePause; }
    std::int64_t takenSincePause() const { return m_takenSincePause; }

    /// The lines kept, one per text line for copying: what became of it, a tab, and the line
    /// with control characters and backslashes written as "\xNN" and "\\"; a line cut says
    /// how long it was, and lines not kept while paused are told between the lines around them.
    std::string text() const;
    /// Appends `line` to `out` as text() writes it: control characters and backslashes as
    /// "\xNN" and "\\".
    static void appendEscaped(std::string_view line, std::string &out);

private:
    struct Slot {
        std::int64_t number;
        std::size_t length;
        std::uint16_t kept;
        LineVerdict verdict;
    };

    std::vector<char> m_characters;
    std::vector<Slot> m_slots;
    /// Where the next line goes.
    std::size_t m_head = 0;
    std::size_t m_size = 0;
    std::int64_t m_total = 0;
    std::int64_t m_sincePause = 0;
    std::int64_t m_takenSincePause = 0;
    bool m_paused = false;
};

} // namespace adc
