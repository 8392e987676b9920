#include "RecordText.h"

#include <charconv>

namespace adc {

namespace {

/// Writes `value` as exactly `width` decimal digits, with leading zeros.
char *fixedDigits(char *out, unsigned value, int width)
{
    for (int i = width - 1; i >= 0; --i) {
        out[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
    return out + width;
}

} // namespace

std::string_view RecordText::modeName(Mode mode)
{
    return mode == Mode::Int ? "INT" : "MCP3201";
}

char *RecordText::putValue(char *out, double value)
{
    // The board's whole numbers take the integer formatter, which gives the same text.
    if (value >= 0.0 && value < 100000.0) {
        const auto whole = static_cast<unsigned>(value);
        if (static_cast<double>(whole) == value) {
            return std::to_chars(out, out + 24, whole).ptr;
        }
    }
    return std::to_chars(out, out + 32, value).ptr;
}

char *RecordText::putSeconds(char *out, std::chrono::microseconds sinceStart)
{
    const auto micros = sinceStart.count();
    out = std::to_chars(out, out + 24, micros / 1'000'000).ptr;
    *out++ = '.';
    return fixedDigits(out, static_cast<unsigned>(micros % 1'000'000), 6);
}

char *RecordText::putTime(char *out, std::chrono::system_clock::time_point wall)
{
    using namespace std::chrono;
    const std::int64_t ms = floor<milliseconds>(wall.time_since_epoch()).count();
    const std::int64_t second = ms >= 0 ? ms / 1000 : (ms - 999) / 1000;
    if (second != m_cachedSecond) {
        // The date and time of day change once a second; only the milliseconds change per row.
        const sys_seconds at{seconds(second)};
        const auto day = floor<days>(at);
        const year_month_day date{day};
        const hh_mm_ss time{at - day};
        char *p = m_secondText;
        p = fixedDigits(p, static_cast<unsigned>(static_cast<int>(date.year())), 4);
        *p++ = '-';
        p = fixedDigits(p, static_cast<unsigned>(date.month()), 2);
        *p++ = '-';
        p = fixedDigits(p, static_cast<unsigned>(date.day()), 2);
        *p++ = 'T';
        p = fixedDigits(p, static_cast<unsigned>(time.hours().count()), 2);
        *p++ = ':';
        p = fixedDigits(p, static_cast<unsigned>(time.minutes().count()), 2);
        *p++ = ':';
        p = fixedDigits(p, static_cast<unsigned>(time.seconds().count()), 2);
        *p++ = '.';
        m_cachedSecond = second;
    }
    for (char c : m_secondText) {
        *out++ = c;
    }
    out = fixedDigits(out, static_cast<unsigned>(ms - second * 1000), 3);
    *out++ = 'Z';
    return out;
}

} // namespace adc
