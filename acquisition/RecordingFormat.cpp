#include "RecordingFormat.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

namespace adc {

namespace {

bool readDigits(std::string_view text, std::size_t at, std::size_t width, unsigned &value)
{
    value = 0;
    for (std::size_t i = at; i < at + width; ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return false;
        }
        value = value * 10 + static_cast<unsigned>(text[i] - '0');
    }
    return true;
}

} // namespace

bool RecordingFormat::isHeader(std::string_view line)
{
    return line.size() > kFixedColumns.size() + 1 && line.starts_with(kFixedColumns) &&
           line[kFixedColumns.size()] == ',';
}

std::vector<std::string> RecordingFormat::columnNames(std::span<const std::string> names)
{
    std::vector<std::string> taken{"time", "seconds", "run", "mode", "count"};
    std::vector<std::string> columns;
    for (std::size_t k = 0; k < names.size(); ++k) {
        std::string name = names[k].substr(0, kMaxColumnName);
        for (char &c : name) {
            const auto byte = static_cast<unsigned char>(c);
            if (byte <= 0x20 || byte >= 0x7f || c == ',' || c == ';' || c == '"' || c == '\\') {
                c = '_';
            }
        }
        if (name.empty()) {
            name = "ch" + std::to_string(k);
        }
        std::string unique = name;
        for (int n = 2; std::ranges::find(taken, unique) != taken.end(); ++n) {
            unique = name + "_" + std::to_string(n);
        }
        taken.push_back(unique);
        columns.push_back(std::move(unique));
    }
    return columns;
}

std::string RecordingFormat::headerLine(std::span<const std::string> columns)
{
    std::string line(kFixedColumns);
    for (const std::string &column : columns) {
        line += ',';
        line += column;
    }
    line += '\n';
    return line;
}

std::string_view RecordingFormat::modeName(Mode mode)
{
    return modeInfo(mode).recordingName;
}

std::optional<Mode> RecordingFormat::modeNamed(std::string_view name)
{
    for (const ModeInfo &info : modeTable()) {
        if (info.recordingName == name) {
            return info.mode;
        }
    }
    return std::nullopt;
}

char *RecordingFormat::writeValue(char *out, double value)
{
    // The board's whole numbers take the integer formatter, which gives the same text.
    if (value >= 0.0 && value < 100000.0) {
        const auto whole = static_cast<unsigned>(value);
        if (static_cast<double>(whole) == value) {
            return std::to_chars(out, out + kMaxValueLength, whole).ptr;
        }
    }
    if (char *end = writeShortDecimal(out, value)) {
        return end;
    }
    return std::to_chars(out, out + kMaxValueLength, value).ptr;
}

char *RecordingFormat::writeShortDecimal(char *out, double value)
{
    // Sensors print a few decimals ("22.19", "-0.5"). The fewest decimals whose number is the
    // value are its shortest text here: from 0.001 up to 1e9 a decimal digit is worth many
    // steps between doubles, so only one number of that many decimals is the value, and the
    // fixed form is no longer than the one with an exponent. Whole values are not taken.
    const double magnitude = std::fabs(value);
    if (!(magnitude >= 0.001 && magnitude < 1e9)) {
        return nullptr;
    }
    std::uint64_t scale = 1;
    for (int decimals = 1; decimals <= 6; ++decimals) {
        scale *= 10;
        const auto scaled =
            static_cast<std::uint64_t>(std::llround(magnitude * static_cast<double>(scale)));
        if (static_cast<double>(scaled) / static_cast<double>(scale) != magnitude) {
            continue;
        }
        if (scaled % 10 == 0) {
            return nullptr; // a whole value, or one that fewer decimals would have found
        }
        if (value < 0) {
            *out++ = '-';
        }
        out = std::to_chars(out, out + kMaxValueLength, scaled / scale).ptr;
        *out++ = '.';
        return writeDigits(out, static_cast<unsigned>(scaled % scale), decimals);
    }
    return nullptr;
}

char *RecordingFormat::writeDigits(char *out, unsigned value, int width)
{
    for (int i = width - 1; i >= 0; --i) {
        out[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
    return out + width;
}

char *RecordingFormat::writeSeconds(char *out, std::chrono::microseconds sinceStart)
{
    const auto micros = sinceStart.count();
    out = std::to_chars(out, out + 24, micros / 1'000'000).ptr;
    *out++ = '.';
    return writeDigits(out, static_cast<unsigned>(micros % 1'000'000), 6);
}

char *RecordingFormat::writeTime(char *out, std::chrono::system_clock::time_point time)
{
    using namespace std::chrono;
    const auto ms = floor<milliseconds>(time);
    const auto day = floor<days>(ms);
    const year_month_day date{day};
    const hh_mm_ss clock{ms - day};
    out = writeDigits(out, static_cast<unsigned>(static_cast<int>(date.year())), 4);
    *out++ = '-';
    out = writeDigits(out, static_cast<unsigned>(date.month()), 2);
    *out++ = '-';
    out = writeDigits(out, static_cast<unsigned>(date.day()), 2);
    *out++ = 'T';
    out = writeDigits(out, static_cast<unsigned>(clock.hours().count()), 2);
    *out++ = ':';
    out = writeDigits(out, static_cast<unsigned>(clock.minutes().count()), 2);
    *out++ = ':';
    out = writeDigits(out, static_cast<unsigned>(clock.seconds().count()), 2);
    *out++ = '.';
    out = writeDigits(out, static_cast<unsigned>(clock.subseconds().count()), 3);
    *out++ = 'Z';
    return out;
}

std::optional<std::chrono::system_clock::time_point>
RecordingFormat::readTime(std::string_view text)
{
    using namespace std::chrono;
    unsigned y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, ms = 0;
    if (text.size() != kTimeLength || text[4] != '-' || text[7] != '-' || text[10] != 'T' ||
        text[13] != ':' || text[16] != ':' || text[19] != '.' || text[23] != 'Z' ||
        !readDigits(text, 0, 4, y) || !readDigits(text, 5, 2, mo) || !readDigits(text, 8, 2, d) ||
        !readDigits(text, 11, 2, h) || !readDigits(text, 14, 2, mi) ||
        !readDigits(text, 17, 2, s) || !readDigits(text, 20, 3, ms)) {
        return std::nullopt;
    }
    const year_month_day date{year(static_cast<int>(y)), month(mo), day(d)};
    if (!date.ok() || h > 23 || mi > 59 || s > 60) {
        return std::nullopt;
    }
    return sys_days(date) + hours(h) + minutes(mi) + seconds(s) + milliseconds(ms);
}

std::optional<double> RecordingFormat::readValue(std::string_view text, bool saturatedAllowed)
{
    // Plain digits, the usual case, without the general reader.
    if (!text.empty() && text.size() <= 9 &&
        text.find_first_not_of("0123456789") == std::string_view::npos) {
        unsigned whole = 0;
        for (char c : text) {
            whole = whole * 10 + static_cast<unsigned>(c - '0');
        }
        return static_cast<double>(whole);
    }
    if (saturatedAllowed && text == kSaturated) {
        return std::numeric_limits<double>::infinity();
    }
    double value = 0.0;
    const char *end = text.data() + text.size();
    const auto [stop, ec] = std::from_chars(text.data(), end, value, std::chars_format::general);
    if (ec != std::errc() || stop != end || text.starts_with('-') || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

} // namespace adc
