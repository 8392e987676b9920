#include "AxisTicks.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace adc {

double AxisTicks::niceStep(double span, int count)
{
    const double raw = span / count;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    const double f = raw / magnitude;
    return (f <= 1.0 ? 1.0 : f <= 2.0 ? 2.0 : f <= 5.0 ? 5.0 : 10.0) * magnitude;
}

double AxisTicks::clockStep(double span, int count)
{
    static constexpr double kSteps[] = {1,   2,   5,    10,   15,   30,    60,    120,   300,
                                        600, 900, 1800, 3600, 7200, 10800, 21600, 43200, 86400};
    const double raw = span / count;
    for (double step : kSteps) {
        if (step >= raw) {
            return step;
        }
    }
    return niceStep(span, count);
}

bool AxisTicks::clockAxis(double from, double to)
{
    return std::max(std::abs(from), std::abs(to)) >= 3600.0 && to - from >= 10.0;
}

std::string AxisTicks::numberText(double x, std::chars_format format, int precision)
{
    char text[64];
    // No "-0" for a tick at zero.
    const auto result =
        std::to_chars(text, text + sizeof text, x == 0.0 ? 0.0 : x, format, precision);
    return std::string(text, result.ptr);
}

std::string AxisTicks::clockText(double x)
{
    const auto total = static_cast<long long>(std::llround(x));
    const long long s = std::llabs(total);
    char text[48];
    std::snprintf(text, sizeof text, "%s%lld:%02lld:%02lld", total < 0 ? "-" : "", s / 3600,
                  s / 60 % 60, s % 60);
    return text;
}

std::vector<AxisTicks::Tick> AxisTicks::xTicks(HistoryStore::XAxis axis, double from, double to,
                                               int count, const HistoryStore *history)
{
    const bool records = axis == HistoryStore::XAxis::Records;
    const bool clock = !records && clockAxis(from, to);
    const double step = records ? std::max(1.0, niceStep(to - from, count))
                        : clock ? clockStep(to - from, count)
                                : niceStep(to - from, count);
    const int decimals = std::clamp(static_cast<int>(-std::floor(std::log10(step) + 1e-9)), 0, 6);
    std::vector<Tick> ticks;
    for (double x = std::ceil(from / step) * step; x <= to; x += step) {
        if (records) {
            const std::int64_t i = std::llround(x);
            ticks.push_back({x, std::to_string(history != nullptr ? history->count(i) : i + 1)});
        } else {
            ticks.push_back(
                {x, clock ? clockText(x) : numberText(x, std::chars_format::fixed, decimals)});
        }
    }
    return ticks;
}

std::vector<AxisTicks::Tick> AxisTicks::valueTicks(double lo, double hi, int count)
{
    const double step = niceStep(hi - lo, count);
    std::vector<Tick> ticks;
    for (double v = std::ceil(lo / step) * step; v <= hi; v += step) {
        ticks.push_back(
            {v, numberText(std::abs(v) < step * 1e-6 ? 0.0 : v, std::chars_format::general, 7)});
    }
    return ticks;
}

} // namespace adc
