#include "LineFramer.h"

#include <algorithm>
#include <cstring>

namespace adc {

void LineFramer::reset()
{
    m_line.clear();
    m_length = 0;
    m_complete = false;
    m_startedAfterLineFeed = false;
    m_whole = false;
}

bool LineFramer::feed(std::string_view &input)
{
    if (m_complete) {
        m_line.clear();
        m_length = 0;
        m_complete = false;
    }
    const void *lf = std::memchr(input.data(), '\n', input.size());
    if (lf == nullptr) {
        collect(input);
        input = {};
        return false;
    }
    const auto at = static_cast<std::size_t>(static_cast<const char *>(lf) - input.data());
    collect(input.substr(0, at));
    input.remove_prefix(at + 1);
    // The line feed counts towards the length; the carriage return before it is kept out.
    if (m_length <= kMaxLineLength && !m_line.empty() && m_line.back() == '\r') {
        m_line.pop_back();
        --m_length;
    }
    m_whole = m_startedAfterLineFeed;
    m_startedAfterLineFeed = true;
    m_complete = true;
    return true;
}

void LineFramer::collect(std::string_view chunk)
{
    while (!chunk.empty()) {
        const void *nul = std::memchr(chunk.data(), '\0', chunk.size());
        const std::size_t run =
            nul == nullptr
                ? chunk.size()
                : static_cast<std::size_t>(static_cast<const char *>(nul) - chunk.data());
        // Past the limit characters are counted, not kept.
        const std::size_t room = kMaxLineLength - std::min(m_line.size(), kMaxLineLength);
        m_line.append(chunk.data(), std::min(run, room));
        m_length += run;
        chunk.remove_prefix(nul == nullptr ? run : run + 1);
    }
}

} // namespace adc
