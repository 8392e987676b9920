#pragma once

#include "LineFramer.h"
#include "LineVerdict.h"

#include <span>
#include <string>
#include <string_view>

namespace adc {

/// Reads the lines of a board that prints its values as text, one line at a time, into named
/// channels. A value that is missing from a line, or that the line gives as "nan", reads as NaN
/// (the recording leaves its cell empty).
class LineReader {
public:
    virtual ~LineReader() = default;

    /// Forgets what the lines so far have told, as at Start.
    virtual void reset() = 0;

    /// Reads `line` (without its line end). `whole` says that it began just after a line feed:
    /// a line that may have been cut at its front is never taken for its values.
    virtual LineVerdict read(std::string_view line, bool whole) = 0;

    /// Reads the line `framer` completed last: a line too long is dropped unread.
    LineVerdict read(const LineFramer &framer)
    {
        return framer.tooLong() ? LineVerdict::dropped(DropReason::TooLong)
                                : read(framer.line(), framer.whole());
    }

    /// The channels' names so far, in channel order.
    virtual std::span<const std::string> names() const = 0;
    /// The values of the line taken last, one per channel of names() as it was then.
    virtual std::span<const double> values() const = 0;
};

} // namespace adc
