#include "WireLog.h"

#include <algorithm>
#include <cstring>

namespace adc {

void WireLog::appendEscaped(std::string_view line, std::string &out)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (const char c : line) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\') {
            out += "\\\\";
        } else if (byte < 0x20 || byte == 0x7f) {
            out += "\\x";
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        } else {
            out += c;
        }
    }
}

WireLog::WireLog() : m_characters(kCapacity * kKeptCharacters), m_slots(kCapacity) {}

void WireLog::add(std::string_view line, LineVerdict verdict, std::size_t length)
{
    ++m_total;
    if (m_paused) {
        ++m_sincePause;
        m_takenSincePause += verdict.kind == LineVerdict::Kind::Taken;
        return;
    }
    const std::size_t kept = std::min(line.size(), kKeptCharacters);
    std::memcpy(m_characters.data() + m_head * kKeptCharacters, line.data(), kept);
    m_slots[m_head] = {m_total, std::max(length, line.size()), static_cast<std::uint16_t>(kept),
                       verdict};
    m_head = m_head + 1 == kCapacity ? 0 : m_head + 1;
    m_size = std::min(m_size + 1, kCapacity);
}

void WireLog::clear()
{
    m_head = 0;
    m_size = 0;
    m_total = 0;
    m_paused = false;
    m_sincePause = 0;
    m_takenSincePause = 0;
}

WireLog::Entry WireLog::entry(std::size_t index) const
{
    const std::size_t at = (m_head + kCapacity - m_size + index) % kCapacity;
    const Slot &slot = m_slots[at];
    return {slot.number, std::string_view(m_characters.data() + at * kKeptCharacters, slot.kept),
            slot.length, slot.verdict};
}

void WireLog::pause()
{
    if (!m_paused) {
        m_paused = true;
        m_sincePause = 0;
        m_takenSincePause = 0;
    }
}

std::string WireLog::text() const
{
    std::string out;
    std::int64_t expected = m_size > 0 ? entry(0).number : 0;
    for (std::size_t i = 0; i < m_size; ++i) {
        const Entry e = entry(i);
        if (e.number != expected) {
            out += "(" + std::to_string(e.number - expected) + " lines not kept while paused)\n";
        }
        expected = e.number + 1;
        out += e.verdict.kind == LineVerdict::Kind::Dropped ? "dropped: " : "";
        out += e.verdict.text();
        out += '\t';
        appendEscaped(e.text, out);
        if (e.cut()) {
            out += " ... (cut: " + std::to_string(e.length) + " characters)";
        }
        out += '\n';
    }
    return out;
}

} // namespace adc
