#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace adc {

/// The lines sent to the board, newest last, for the up and down arrows of the send box.
///
/// Up goes to older lines and down back to newer ones, down past the newest gives back what was
/// being typed before the first up. A line sent again is not kept twice in a row; the oldest
/// lines go beyond kCapacity.
class SendHistory {
public:
    static constexpr std::size_t kCapacity = 100;

    /// `line` has been sent; browsing starts again from the newest.
    void sent(const std::string &line);
    /// The line before the one shown (the newest when not browsing), given `typed`, the text in
    /// the box now; `typed` itself when there is none older.
    std::string older(const std::string &typed);
    /// The line after the one shown; the text typed before browsing after the newest.
    std::string newer(const std::string &typed);

    std::size_t size() const { return m_lines.size(); }

private:
    std::vector<std::string> m_lines;
    /// The line shown while browsing; size() when not browsing.
    std::size_t m_at = 0;
    std::string m_draft;
};

} // namespace adc
