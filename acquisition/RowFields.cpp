#include "RowFields.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace adc {

void RowFields::setStamp(std::chrono::system_clock::time_point wall, std::int64_t micros,
                         std::int64_t run)
{
    using namespace std::chrono;
    using F = RecordingFormat;
    const std::int64_t ms = floor<milliseconds>(wall.time_since_epoch()).count();
    const std::int64_t second = ms >= 0 ? ms / 1000 : (ms - 999) / 1000;
    if (second != m_second) {
        // The date and time of day change once a second; only the milliseconds per stamp.
        F::writeTime(m_text, sys_seconds{std::chrono::seconds(second)});
        m_second = second;
    }
    char *out =
        F::writeDigits(m_text + F::kTimeLength - 4, static_cast<unsigned>(ms - second * 1000), 3);
    *out++ = 'Z';
    *out++ = ',';
    m_secondsAt = static_cast<std::size_t>(out - m_text);
    out = F::writeSeconds(out, microseconds(micros));
    m_secondsLength = static_cast<std::size_t>(out - m_text) - m_secondsAt;
    *out++ = ',';
    m_runAt = static_cast<std::size_t>(out - m_text);
    out = std::to_chars(out, out + 24, run).ptr;
    m_runLength = static_cast<std::size_t>(out - m_text) - m_runAt;
    *out++ = ',';
    m_prefixLength = static_cast<std::size_t>(out - m_text);
    m_rowPrefixLength = 0;
}

char *RowFields::writeCount(char *out, std::int64_t count)
{
    return std::to_chars(out, out + 24, count).ptr;
}

char *RowFields::writeCsvRow(char *out, Mode mode, std::int64_t count,
                             std::span<const double> values)
{
    if (m_rowPrefixLength == 0 || mode != m_rowMode) {
        // The rows of one stamp share their mode too: "time,seconds,run,mode," is made once.
        const std::string_view name = RowFields::mode(mode);
        char *end = std::copy(name.begin(), name.end(), m_text + m_prefixLength);
        *end++ = ',';
        m_rowPrefixLength = static_cast<std::size_t>(end - m_text);
        m_rowMode = mode;
    }
    out = std::copy_n(m_text, m_rowPrefixLength, out);
    out = writeCount(out, count);
    if (!isBoard(mode)) {
        for (const double value :
             values.first(std::min<std::size_t>(values.size(), kMaxTextChannels))) {
            *out++ = ',';
            if (!std::isnan(value)) {
                out = writeValue(out, value);
            }
        }
        *out++ = '\n';
        return out;
    }
    for (std::size_t k = 0; k < kMaxChannels; ++k) {
        *out++ = ',';
        if (k < values.size()) {
            out = writeValue(out, values[k]);
        }
    }
    *out++ = '\n';
    return out;
}

} // namespace adc
