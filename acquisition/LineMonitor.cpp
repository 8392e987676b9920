#include "LineMonitor.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace adc {

static_assert(LineMonitor::kQuietTime <= LineMonitor::kRateWindow,
              "the samples kept must reach back over the quiet time");

LineMonitor::LineMonitor(Mode mode) : m_mode(mode), m_otherTag(modeInfo(otherMode(mode)).tag)
{
    // The other tag is searched for by a character that this mode's own tag (and so its
    // records' start) lacks: "M" of MCP for INT, "I" of PIC for MCP3201.
    // Other boards' lines have no tag, and so no other tag to look for.
    const std::string_view ownTag = modeInfo(mode).tag;
    for (std::size_t k = 0; k < m_otherTag.size(); ++k) {
        if (ownTag.find(m_otherTag[k]) == std::string_view::npos) {
            m_keyAt = k;
            break;
        }
    }
}

void LineMonitor::reset(Clock::time_point start)
{
    *this = LineMonitor(m_mode);
    m_samples.push_back({start, m_now});
}

void LineMonitor::arrived(std::string_view characters)
{
    m_now.bytes += static_cast<std::int64_t>(characters.size());
    countOtherTags(characters);
    // Line ends matter only for the hint: while records are taken they need no look.
    if (m_now.accepted == m_atNote.accepted &&
        m_now.lineEndSightings == m_atNote.lineEndSightings &&
        std::memchr(characters.data(), '\n', characters.size()) != nullptr) {
        ++m_now.lineEndSightings;
    }
}

void LineMonitor::countOtherTags(std::string_view characters)
{
    const std::size_t length = m_otherTag.size();
    if (length == 0) {
        return;
    }
    // A tag that began in the last read's tail and ends in this one.
    if (m_tailLength > 0) {
        std::array<char, 2 * kTail> joined{};
        std::copy_n(m_tail.data(), m_tailLength, joined.data());
        const std::size_t more = std::min(characters.size(), kTail);
        std::copy_n(characters.data(), more, joined.data() + m_tailLength);
        for (std::size_t start = 0; start < m_tailLength; ++start) {
            if (start + length <= m_tailLength + more &&
                std::string_view(joined.data() + start, length) == m_otherTag) {
                ++m_now.otherTagSightings;
            }
        }
    }
    // Tags wholly within this read, found by a character this mode's own records lack, so that
    // a line that flows costs one memchr per read.
    const char key = m_otherTag[m_keyAt];
    for (std::size_t from = m_keyAt; from < characters.size();) {
        const void *hit = std::memchr(characters.data() + from, key, characters.size() - from);
        if (hit == nullptr) {
            break;
        }
        const auto at =
            static_cast<std::size_t>(static_cast<const char *>(hit) - characters.data());
        const std::size_t start = at - m_keyAt;
        if (start + length <= characters.size() && characters.substr(start, length) == m_otherTag) {
            ++m_now.otherTagSightings;
        }
        from = at + 1;
    }
    // The stream's last characters, where the next read's first tag may begin.
    for (const char c :
         characters.substr(characters.size() > kTail ? characters.size() - kTail : 0)) {
        if (m_tailLength == kTail) {
            m_tail[0] = m_tail[1];
            m_tail[1] = c;
        } else {
            m_tail[m_tailLength++] = c;
        }
    }
}

void LineMonitor::blockDone(Clock::time_point when)
{
    const std::size_t n = m_samples.size();
    if (n >= 2 && m_samples[n - 1].time - m_samples[n - 2].time < kNoteInterval) {
        // The newest note moves on to this block.
        m_samples.back() = {when, m_now};
    } else {
        m_samples.push_back({when, m_now});
        m_atNote = m_now;
    }
    // Keep one note at or beyond the rate window, and all that are younger.
    while (m_samples.size() > 1 && m_samples[1].time <= when - kRateWindow) {
        m_samples.pop_front();
    }
}

LineMonitor::State LineMonitor::stateAt(Clock::time_point now) const
{
    if (m_samples.empty()) {
        return {};
    }
    // The newest note at or beyond the rate window, or the oldest kept.
    const Sample *oldest = &m_samples.front();
    for (const Sample &sample : m_samples) {
        if (sample.time > now - kRateWindow) {
            break;
        }
        oldest = &sample;
    }
    const std::chrono::duration<double> span = now - oldest->time;
    const double rate =
        span.count() > 0.0
            ? static_cast<double>(m_now.accepted - oldest->counts.accepted) / span.count()
            : 0.0;
    return {rate, findHint(now)};
}

LineMonitor::Hint LineMonitor::findHint(Clock::time_point now) const
{
    // The newest sample taken at least kQuietTime ago.
    const Sample *from = nullptr;
    for (const Sample &sample : m_samples) {
        if (sample.time > now - kQuietTime) {
            break;
        }
        from = &sample;
    }
    if (from == nullptr || m_now.accepted != from->counts.accepted) {
        return Hint::None;
    }
    if (m_now.bytes == from->counts.bytes) {
        return Hint::Silence;
    }
    if (m_now.lineEndSightings == from->counts.lineEndSightings) {
        return Hint::NoLineEnds;
    }
    if (m_now.otherTagSightings != from->counts.otherTagSightings) {
        return Hint::OtherMode;
    }
    return Hint::NoRecords;
}

std::int64_t LineMonitor::dropped() const
{
    std::int64_t all = 0;
    for (const std::int64_t lines : m_drops) {
        all += lines;
    }
    return all;
}

std::string LineMonitor::otherModeText() const
{
    if (otherModeRecords() == 0) {
        return {};
    }
    return std::to_string(otherModeRecords()) + " " + std::string(m_otherTag) +
           (otherModeRecords() == 1 ? " record" : " records") + ", not this mode";
}

std::string_view LineMonitor::hintText(Hint hint) const
{
    switch (hint) {
    case Hint::None:
        break;
    case Hint::OtherMode:
        return m_mode == Mode::Int ? "lines with the tag MCP arrive: is the board in MCP3201 mode?"
                                   : "lines with the tag PIC arrive: is the board in INT mode?";
    case Hint::NoLineEnds:
        return "characters arrive but no line ends: wrong speed?";
    case Hint::NoRecords:
        if (!isBoard(m_mode)) {
            return "lines arrive but none is taken: wrong speed, or another format?";
        }
        return "lines arrive but none is a record: wrong speed, or another device on this port?";
    case Hint::Silence:
        return "nothing arrives: is the board on this port and powered?";
    }
    return {};
}

std::string LineMonitor::summary(std::string_view separator, const State &state) const
{
    std::array<char, 32> rate;
    const auto end = std::to_chars(rate.data(), rate.data() + rate.size(), state.recordsPerSecond,
                                   std::chars_format::fixed, 1)
                         .ptr;
    std::string text(rate.data(), end);
    text += " records per second";
    text += separator;
    text += "dropped since Start: ";
    const bool board = isBoard(m_mode);
    // The board's records are dropped for the first three reasons only; other boards' lines
    // have no tag.
    for (std::size_t k = board ? 0 : 1; k < (board ? 3 : kDropReasonCount); ++k) {
        const auto reason = static_cast<Drop>(k);
        text += (k == (board ? 0 : 1) ? "" : ", ") + std::to_string(drops(reason)) + " " +
                std::string(dropReasonText(reason));
    }
    if (const std::string other = otherModeText(); !other.empty()) {
        text += separator;
        text += other;
    }
    if (state.hint != Hint::None) {
        text += separator;
        text += hintText(state.hint);
    }
    return text;
}

} // namespace adc
