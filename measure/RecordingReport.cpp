#include "RecordingReport.h"

#include <cmath>

namespace adc {

bool RecordingReport::fail(std::string text)
{
    m_error = std::move(text);
    return false;
}

bool RecordingReport::load(std::istream &in, const Choice &choice)
{
    if (!m_loader.load(in)) {
        return fail(m_loader.error().empty() ? "cannot read it" : m_loader.error());
    }
    if (m_loader.runs().empty()) {
        return fail("it holds no records");
    }
    return choose(choice);
}

bool RecordingReport::choose(const Choice &choice)
{
    std::string numbers;
    for (const RecordingLoader::Run &run : m_loader.runs()) {
        if (!choice.run || run.number == *choice.run) {
            m_history = run.history.get();
            break;
        }
        numbers += (numbers.empty() ? "" : ", ") + std::to_string(run.number);
    }
    if (m_history == nullptr) {
        return fail("it has no run " + std::to_string(*choice.run) + " (its runs: " + numbers +
                    ")");
    }
    const double from = choice.from.value_or(-INFINITY);
    const double to = choice.to.value_or(INFINITY);
    if (!(from < to)) {
        return fail("the range's start must come before its end");
    }
    m_first = m_history->lowerBound(from * 1e6);
    // The end is taken in: a record at exactly --to seconds belongs to the range.
    m_end = std::isinf(to) ? m_history->end()
                           : m_history->lowerBound(std::nextafter(to * 1e6, INFINITY));
    if (m_first >= m_end) {
        return fail("no record of the run lies in that range");
    }
    return true;
}

std::string RecordingReport::stats(MeasurementTable::Style style, const ChannelUnits *units) const
{
    const MeasurementTable table(style);
    const RangeMeasurement measure(*m_history, units);
    std::string text = table.header();
    for (int k = 0; k < m_history->channelCount(); ++k) {
        const std::string &name = m_history->names()[static_cast<std::size_t>(k)];
        text +=
            table.row(measure.measure(m_first, m_end, k), MeasurementTable::label(units, k, name));
    }
    return text;
}

} // namespace adc
