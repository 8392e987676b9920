#include "RecordFramer.h"

#include <algorithm>
#include <cstring>

namespace adc {

RecordFramer::RecordFramer(char sync) : m_sync(sync)
{
    m_record.reserve(128);
}

void RecordFramer::reset()
{
    m_record.clear();
    m_collecting = false;
    m_complete = false;
    m_overlong = false;
    m_leadLength = 0;
    m_recordLeadLength = 0;
}

bool RecordFramer::feed(std::string_view &input)
{
    if (m_complete) {
        m_record.clear();
        m_complete = false;
    }
    while (!input.empty()) {
        if (!m_collecting) {
            const void *hit = std::memchr(input.data(), m_sync, input.size());
            const std::size_t at =
                hit == nullptr
                    ? input.size()
                    : static_cast<std::size_t>(static_cast<const char *>(hit) - input.data());
            keepLead(input.substr(0, at));
            if (hit == nullptr) {
                input = {};
                return false;
            }
            input.remove_prefix(at + 1);
            // The lead is the record's; the next one is gathered after its line feed.
            std::copy_n(m_lead + 2 - m_leadLength, m_leadLength, m_recordLead);
            m_recordLeadLength = m_leadLength;
            m_leadLength = 0;
            m_record.assign(1, m_sync);
            m_collecting = true;
            m_overlong = false;
            continue;
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
        m_collecting = false;
        if (m_overlong) {
            ++m_overlongDropped;
            m_record.clear();
            m_overlong = false;
            continue;
        }
        m_record.push_back(' ');
        m_complete = true;
        return true;
    }
    return false;
}

void RecordFramer::keepLead(std::string_view passed)
{
    for (const char c : passed.substr(passed.size() > 2 ? passed.size() - 2 : 0)) {
        m_lead[0] = m_lead[1];
        m_lead[1] = c;
        m_leadLength = std::min<std::size_t>(m_leadLength + 1, 2);
    }
}

void RecordFramer::collect(std::string_view chunk)
{
    // Room is left for the blank that closes the record.
    while (!chunk.empty() && !m_overlong) {
        const void *nul = std::memchr(chunk.data(), '\0', chunk.size());
        const std::size_t run =
            nul == nullptr
                ? chunk.size()
                : static_cast<std::size_t>(static_cast<const char *>(nul) - chunk.data());
        if (m_record.size() + run > kMaxRecordLength - 1) {
            m_overlong = true;
            m_record.clear();
            break;
        }
        m_record.append(chunk.data(), run);
        chunk.remove_prefix(nul == nullptr ? run : run + 1);
    }
}

} // namespace adc
