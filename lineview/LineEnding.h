#pragma once

#include <array>
#include <string_view>

namespace adc {

/// What goes after a line sent to the board.
enum class LineEnding { None, Lf, Cr, CrLf };

/// Every ending, in the order the send box offers them.
inline constexpr std::array<LineEnding, 4> kLineEndings = {LineEnding::None, LineEnding::Lf,
                                                           LineEnding::Cr, LineEnding::CrLf};

/// The ending's characters.
constexpr std::string_view lineEndingBytes(LineEnding ending)
{
    switch (ending) {
    case LineEnding::None:
        return {};
    case LineEnding::Lf:
        return "\n";
    case LineEnding::Cr:
        return "\r";
    case LineEnding::CrLf:
        return "\r\n";
    }
    return {};
}

/// The ending's name for people: "No ending", "LF", "CR", "CR LF".
constexpr std::string_view lineEndingName(LineEnding ending)
{
    switch (ending) {
    case LineEnding::None:
        return "No ending";
    case LineEnding::Lf:
        return "LF";
    case LineEnding::Cr:
        return "CR";
    case LineEnding::CrLf:
        return "CR LF";
    }
    return {};
}

} // namespace adc
