#include "DropReport.h"

#include <algorithm>

namespace adc {

void DropReport::collect(const WireLog &wire, Clock::time_point now, std::string &out)
{
    if (wire.total() < m_seen) {
        m_seen = 0;
    }
    if (now - m_secondStart >= std::chrono::seconds(1)) {
        finish(out);
        m_secondStart = now;
        m_told = 0;
    }
    const std::int64_t fresh = wire.total() - m_seen;
    const auto kept = static_cast<std::int64_t>(std::min<std::size_t>(
        wire.size(), static_cast<std::size_t>(std::max<std::int64_t>(fresh, 0))));
    m_unread += fresh - kept;
    for (std::size_t i = wire.size() - static_cast<std::size_t>(kept); i < wire.size(); ++i) {
        const WireLog::Entry entry = wire.entry(i);
        if (entry.verdict.kind != LineVerdict::Kind::Dropped) {
            continue;
        }
        if (m_told < kPerSecond) {
            tell(entry, out);
            ++m_told;
        } else {
            ++m_untold;
        }
    }
    m_seen = wire.total();
}

void DropReport::tell(const WireLog::Entry &entry, std::string &out)
{
    out += "dropped (";
    out += entry.verdict.text();
    out += "): ";
    WireLog::appendEscaped(entry.text, out);
    if (entry.cut()) {
        out += "... (" + std::to_string(entry.length) + " characters)";
    }
    out += '\n';
}

void DropReport::finish(std::string &out)
{
    if (m_untold > 0) {
        out += std::to_string(m_untold) + (m_untold == 1 ? " more line" : " more lines") +
               " dropped, not shown\n";
    }
    if (m_unread > 0) {
        out += std::to_string(m_unread) + " lines went by too fast to be looked at\n";
    }
    m_untold = m_unread = 0;
}

} // namespace adc
