#include "SendHistory.h"

namespace adc {

void SendHistory::sent(const std::string &line)
{
    if (m_lines.empty() || m_lines.back() != line) {
        if (m_lines.size() == kCapacity) {
            m_lines.erase(m_lines.begin());
        }
        m_lines.push_back(line);
    }
    m_at = m_lines.size();
    m_draft.clear();
}

std::string SendHistory::older(const std::string &typed)
{
    if (m_at > m_lines.size()) {
        m_at = m_lines.size();
    }
    if (m_at == 0) {
        return typed;
    }
    if (m_at == m_lines.size()) {
        m_draft = typed;
    }
    return m_lines[--m_at];
}

std::string SendHistory::newer(const std::string &typed)
{
    if (m_at >= m_lines.size()) {
        return typed;
    }
    ++m_at;
    return m_at == m_lines.size() ? m_draft : m_lines[m_at];
}

} // namespace adc
