#pragma once

#include "DropReason.h"

#include <string_view>

namespace adc {

/// What became of one line read in a format: taken for its values, taken for the channels'
/// names, passed over, or dropped for a reason.
struct LineVerdict {
    enum class Kind {
        Taken,   ///< its values were taken
        Names,   ///< it named the channels
        Skipped, ///< passed over: the first line after the port opened may have been cut
        Dropped, ///< dropped for `reason`
    };

    Kind kind = Kind::Taken;
    DropReason reason = DropReason::WrongTag; ///< only for Kind::Dropped

    static constexpr LineVerdict taken() { return {Kind::Taken}; }
    static constexpr LineVerdict names() { return {Kind::Names}; }
    static constexpr LineVerdict skipped() { return {Kind::Skipped}; }
    static constexpr LineVerdict dropped(DropReason why) { return {Kind::Dropped, why}; }

    friend constexpr bool operator==(LineVerdict a, LineVerdict b)
    {
        return a.kind == b.kind && (a.kind != Kind::Dropped || a.reason == b.reason);
    }

    /// The verdict in a few plain words: "taken", "names", "skipped (first line)", or the drop
    /// reason's text ("not a number").
    constexpr std::string_view text() const
    {
        switch (kind) {
        case Kind::Taken:
            return "taken";
        case Kind::Names:
            return "names";
        case Kind::Skipped:
            return "skipped (first line)";
        case Kind::Dropped:
            break;
        }
        return dropReasonText(reason);
    }
};

} // namespace adc
