#pragma once

#include "ModeTable.h"

#include <chrono>
#include <cstdint>
#include <string_view>

namespace adc {

/// How the fields of an accepted record are written as text, the same in the recording and in
/// every other place a record leaves the program.
class RecordText {
public:
    /// The longest text putTime() writes.
    static constexpr std::size_t kTimeLength = 24;

    /// "INT" or "MCP3201".
    static std::string_view modeName(Mode mode);
    /// Writes the shortest text that reads back as `value` exactly ("512", "1.5", "1e+22",
    /// "inf"); returns the end.
    static char *putValue(char *out, double value);
    /// Writes a time since the run's Start as seconds with six decimals ("0.052113").
    static char *putSeconds(char *out, std::chrono::microseconds sinceStart);
    /// Writes `wall` in UTC with milliseconds ("2026-12-07T08:15:02.123Z"). The date and time of
    /// day are worked out once per second and kept.
    char *putTime(char *out, std::chrono::system_clock::time_point wall);

private:
    /// The wall-clock second whose "YYYY-MM-DDTHH:MM:SS." is in m_secondText.
    std::int64_t m_cachedSecond = -1;
    char m_secondText[20] = {};
};

} // namespace adc
