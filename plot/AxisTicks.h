#pragma once

#include "HistoryStore.h"

#include <charconv>
#include <string>
#include <vector>

namespace adc {

/// The ticks of the scope's axes: steps that read well (1, 2 or 5 times a power of ten, or whole
/// seconds, minutes and hours on a clock) and their labels.
class AxisTicks {
public:
    struct Tick {
        double at = 0.0;
        std::string label;
    };

    /// About `count` ticks over [from, to] of an x axis: seconds since Start (as h:mm:ss from
    /// an hour on), or records labelled with the sample count `history` shows for them.
    static std::vector<Tick> xTicks(HistoryStore::XAxis axis, double from, double to, int count,
                                    const HistoryStore *history);
    /// About `count` ticks over the values [lo, hi].
    static std::vector<Tick> valueTicks(double lo, double hi, int count);
    /// Whether a seconds axis over [from, to] reads as h:mm:ss: for runs of an hour and more.
    static bool clockAxis(double from, double to);

private:
    static double niceStep(double span, int count);
    static double clockStep(double span, int count);
    static std::string clockText(double x);
    static std::string numberText(double x, std::chars_format format, int precision);
};

} // namespace adc
