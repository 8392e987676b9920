#include "RecordingFormat.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace adc {

std::string_view RecordingFormat::modeName(Mode mode)
{
    return mode == Mode::Int ? "INT" : "MCP3201";
}

std::optional<Mode> RecordingFormat::modeNamed(std::string_view name)
{
    if (name == "INT") {
        return Mode::Int;
    }
    if (name == "MCP3201") {
        return Mode::Mcp3201;
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
    return std::to_chars(out, out + kMaxValueLength, value).ptr;
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
