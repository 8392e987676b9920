#include "RecordJson.h"

#include <array>
#include <charconv>
#include <cmath>

namespace adc {

namespace {

char *put(char *out, std::string_view text)
{
    return std::copy(text.begin(), text.end(), out);
}

} // namespace

void RecordJson::runStarted(MonotonicClock::time_point start)
{
    ++m_run;
    m_runStart = start;
    m_takenAt = start;
}

void RecordJson::setTime(WallClock::time_point wall, MonotonicClock::time_point monotonic)
{
    m_takenAtWall = wall;
    m_takenAt = monotonic;
}

void RecordJson::add(const AcceptedRecord &record)
{
    if (m_closed) {
        clear();
    }
    // The longest object: the fixed fields and eight values in their longest shortest form.
    std::array<char, 640> text;
    char *out = text.data();
    if (m_records > 0) {
        *out++ = ',';
    }
    out = put(out, "{\"time\":\"");
    out = RecordingFormat::writeTime(out, m_takenAtWall);
    out = put(out, "\",\"seconds\":");
    // Seconds with six decimals, as the recording has them.
    out = RecordingFormat::writeSeconds(
        out, std::chrono::duration_cast<std::chrono::microseconds>(m_takenAt - m_runStart));
    out = put(out, ",\"run\":");
    out = std::to_chars(out, out + 24, m_run).ptr;
    out = put(out, ",\"mode\":\"");
    out = put(out, RecordingFormat::modeName(record.mode));
    out = put(out, "\",\"count\":");
    out = std::to_chars(out, out + 24, record.count).ptr;
    for (std::size_t k = 0; k < record.values.size() && k < kMaxChannels; ++k) {
        out = put(out, ",\"ch");
        *out++ = static_cast<char>('0' + k);
        out = put(out, "\":");
        const double value = record.values[k];
        out = std::isfinite(value) ? RecordingFormat::writeValue(out, value) : put(out, "null");
    }
    *out++ = '}';
    m_buffer.append(text.data(), static_cast<std::size_t>(out - text.data()));
    ++m_records;
}

std::string_view RecordJson::message()
{
    if (m_records > 1 && !m_closed) {
        m_buffer.push_back(']');
        m_closed = true;
    }
    // The opening bracket is there from the start and left out for a single object.
    const std::string_view all = m_buffer;
    return m_records > 1 ? all : all.substr(1);
}

void RecordJson::clear()
{
    m_buffer.resize(1);
    m_records = 0;
    m_closed = false;
}

} // namespace adc
