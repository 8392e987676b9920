#include "LineMonitor.h"

#include <charconv>
#include <cstring>

namespace adc {

static_assert(LineMonitor::kQuietTime <= LineMonitor::kRateWindow,
              "the samples kept must reach back over the quiet time");

LineMonitor::LineMonitor(Mode mode)
    : m_mode(mode), m_otherTag(modeInfo(mode == Mode::Int ? Mode::Mcp3201 : Mode::Int).tag)
{
}

void LineMonitor::reset()
{
    *this = LineMonitor(m_mode);
}

void LineMonitor::arrived(std::string_view characters)
{
    m_now.bytes += static_cast<std::int64_t>(characters.size());
    countOtherTags(characters);
    // Line ends matter only for the hint: while records are taken they need no look.
    if (m_now.accepted == m_atUpdate.accepted &&
        m_now.lineEndSightings == m_atUpdate.lineEndSightings &&
        std::memchr(characters.data(), '\n', characters.size()) != nullptr) {
        ++m_now.lineEndSightings;
    }
}

void LineMonitor::countOtherTags(std::string_view characters)
{
    // The tag's first character does not come again within it, so a failed match can start
    // afresh at the character that broke it. A tag cut between two reads is matched across them.
    std::size_t i = 0;
    for (;;) {
        while (m_tagMatched > 0 && i < characters.size()) {
            if (characters[i] != m_otherTag[m_tagMatched]) {
                m_tagMatched = 0;
                break;
            }
            ++i;
            if (++m_tagMatched == m_otherTag.size()) {
                ++m_now.otherTagSightings;
                m_tagMatched = 0;
                break;
            }
        }
        if (i >= characters.size()) {
            return;
        }
        const void *hit = std::memchr(characters.data() + i, m_otherTag[0], characters.size() - i);
        if (hit == nullptr) {
            return;
        }
        i = static_cast<std::size_t>(static_cast<const char *>(hit) - characters.data()) + 1;
        m_tagMatched = 1;
    }
}

void LineMonitor::update(Clock::time_point now)
{
    m_samples.push_back({now, m_now});
    // Keep one sample at or beyond the rate window, and all that are younger.
    while (m_samples.size() > 1 && m_samples[1].time <= now - kRateWindow) {
        m_samples.pop_front();
    }
    const Sample &oldest = m_samples.front();
    const std::chrono::duration<double> span = now - oldest.time;
    m_rate = span.count() > 0.0
                 ? static_cast<double>(m_now.accepted - oldest.counts.accepted) / span.count()
                 : 0.0;
    m_hint = findHint(now);
    m_atUpdate = m_now;
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
    return drops(Drop::WrongTag) + drops(Drop::TooFewFields) + drops(Drop::TooLong);
}

std::string LineMonitor::otherModeText() const
{
    if (otherModeRecords() == 0) {
        return {};
    }
    return std::to_string(otherModeRecords()) + " " + std::string(m_otherTag) +
           (otherModeRecords() == 1 ? " record" : " records") + ", not this mode";
}

std::string_view LineMonitor::hintText() const
{
    switch (m_hint) {
    case Hint::None:
        break;
    case Hint::OtherMode:
        return m_mode == Mode::Int ? "lines with the tag MCP arrive: is the board in MCP3201 mode?"
                                   : "lines with the tag PIC arrive: is the board in INT mode?";
    case Hint::NoLineEnds:
        return "characters arrive but no line ends: wrong speed?";
    case Hint::NoRecords:
        return "lines arrive but none is a record: wrong speed, or another device on this port?";
    case Hint::Silence:
        return "nothing arrives: is the board on this port and powered?";
    }
    return {};
}

std::string LineMonitor::summary(std::string_view separator) const
{
    std::array<char, 32> rate;
    const auto end =
        std::to_chars(rate.data(), rate.data() + rate.size(), m_rate, std::chars_format::fixed, 1)
            .ptr;
    std::string text(rate.data(), end);
    text += " records per second";
    text += separator;
    text += "dropped since Start: " + std::to_string(drops(Drop::WrongTag)) + " wrong tag, " +
            std::to_string(drops(Drop::TooFewFields)) + " too few fields, " +
            std::to_string(drops(Drop::TooLong)) + " too long";
    if (const std::string other = otherModeText(); !other.empty()) {
        text += separator;
        text += other;
    }
    if (m_hint != Hint::None) {
        text += separator;
        text += hintText();
    }
    return text;
}

} // namespace adc
