#pragma once

#include <cstddef>
#include <string_view>

namespace adc {

/// Why a line from the port was not taken, whatever the format it was read in.
enum class DropReason {
    WrongTag,     ///< a board's line that did not start with the mode's tag
    TooFewFields, ///< fewer fields than the line needs (none at all in a line of other boards)
    TooLong,      ///< it ran past the longest line taken (kMaxRecordLength)
    NotANumber,   ///< a field that should hold a number holds something else
    OtherCount,   ///< another count of values than the line's channels
};

/// How many drop reasons there are, for tables indexed by them.
inline constexpr std::size_t kDropReasonCount = 5;

/// The reason in a few plain words: "wrong tag", "too few fields", "too long", "not a number",
/// "another count of values".
constexpr std::string_view dropReasonText(DropReason reason)
{
    switch (reason) {
    case DropReason::WrongTag:
        return "wrong tag";
    case DropReason::TooFewFields:
        return "too few fields";
    case DropReason::TooLong:
        return "too long";
    case DropReason::NotANumber:
        return "not a number";
    case DropReason::OtherCount:
        return "another count of values";
    }
    return {};
}

} // namespace adc
