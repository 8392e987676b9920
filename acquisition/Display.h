#pragma once

#include "ModeTable.h"

#include <cstdint>
#include <string_view>

namespace adc {

/// One record's piece of a channel's trace: from the ordinate of the record before (the
/// record's own for the first of a run) to the record's own, in twips from the plot area's top,
/// and its colour. Where a record stands across the plot is the display's to say.
struct Step {
    std::int64_t record; ///< the record's number since Start, from 0
    std::int32_t from;
    std::int32_t to;
    Colour colour;
    bool operator==(const Step &) const = default;
};

/// What the window shows of an acquisition run. The run calls these in the order its records
/// give them; the window may bring them to the screen later, but in that order.
class Display {
public:
    virtual ~Display() = default;

    /// Sets the value box of `channel` (0-7) to `text`.
    virtual void showValueText(int channel, std::string_view text) = 0;
    /// Returns the value box of `channel` to what it showed when the program started: a box
    /// the mode of the run starting does not use. A display without boxes may leave this alone.
    virtual void resetValue(int /*channel*/) {}
    /// Sets the sample counter box to `text` (plain decimal digits).
    virtual void showCount(std::string_view text) = 0;
    /// Turns the running indicator green.
    virtual void markRunning() = 0;
    /// The run has lost its port and waits for the device to come back: the indicator turns
    /// grey, without a message. A display that shows no indicator may leave this alone.
    virtual void markWaiting() {}
    /// Draws one record's step of a channel's trace.
    virtual void drawStep(const Step &step) = 0;
    /// The run has ended because of the serial port; `message` says why, for the user.
    virtual void runEnded(std::string_view message) = 0;
};

} // namespace adc
