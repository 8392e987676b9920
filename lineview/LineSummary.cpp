#include "LineSummary.h"

#include "WireLog.h"

#include <algorithm>
#include <numeric>

namespace adc {

LineSummary LineSummary::of(const WireLog &log)
{
    LineSummary summary;
    for (std::size_t i = 0; i < log.size(); ++i) {
        summary.count(log.entry(i).verdict);
    }
    return summary;
}

void LineSummary::count(LineVerdict verdict)
{
    ++m_lines;
    switch (verdict.kind) {
    case LineVerdict::Kind::Taken:
        ++m_taken;
        break;
    case LineVerdict::Kind::Names:
        ++m_names;
        break;
    case LineVerdict::Kind::Skipped:
        ++m_skipped;
        break;
    case LineVerdict::Kind::Dropped:
        ++m_dropped;
        ++m_byReason[static_cast<std::size_t>(verdict.reason)];
        break;
    }
}

std::string LineSummary::reasons(bool bare) const
{
    std::array<std::size_t, kDropReasonCount> order{};
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [this](std::size_t a, std::size_t b) {
        return m_byReason[a] > m_byReason[b];
    });
    const bool alone = m_byReason[order[0]] == m_dropped;
    std::string out;
    for (const std::size_t r : order) {
        if (m_byReason[r] == 0) {
            break;
        }
        out += out.empty() ? "" : ", ";
        if (!(bare && alone)) {
            out += std::to_string(m_byReason[r]) + ' ';
        }
        out += dropReasonText(static_cast<DropReason>(r));
    }
    return out;
}

std::string LineSummary::text() const
{
    if (m_lines == 0) {
        return "No lines from the port yet";
    }
    if (m_dropped == m_lines) {
        return "Every line dropped: " + reasons(true);
    }
    std::string out = m_lines == 1 ? std::string("Of the last line: ")
                                   : "Of the last " + std::to_string(m_lines) + " lines: ";
    out += std::to_string(m_taken) + " taken";
    if (m_names > 0) {
        out += ", " + std::to_string(m_names) + " names";
    }
    if (m_skipped > 0) {
        out += ", " + std::to_string(m_skipped) + " skipped";
    }
    if (m_dropped > 0) {
        out += ", " + std::to_string(m_dropped) + " dropped (" + reasons(false) + ")";
    }
    if (m_taken == 0) {
        out += "; no values yet";
    }
    return out;
}

} // namespace adc
