#pragma once

#include <cmath>
#include <cstdint>
#include <optional>

namespace adc {

/// Counts the periods of a signal from its rising crossings of a middle level with hysteresis:
/// a crossing counts once the signal has been below `middle - band` and then reaches
/// `middle + band`, so noise within the band makes none. Periods are timed between successive
/// crossings of the same stretch; stretches apart (restart()) add their periods together.
/// O(1) per point, nothing allocated.
class CrossingCounter {
public:
    CrossingCounter(double middle, double band) : m_middle(middle), m_band(band) {}

    /// One point of the signal at time `micros`; non-finite values are passed over.
    void add(std::int64_t micros, double value)
    {
        if (value <= m_middle - m_band) {
            m_side = Side::Low;
        } else if (value >= m_middle + m_band && std::isfinite(value)) {
            if (m_side == Side::Low) {
                rise(micros);
            }
            m_side = Side::High;
        }
    }
    /// The next points belong to a stretch apart from those before.
    void restart();

    /// Whole periods counted.
    std::int64_t periods() const { return m_periods; }
    /// The frequency in hertz: none with fewer than two periods, or when the periods differ by
    /// more than a quarter of their mean in standard deviation (no periodic signal).
    std::optional<double> frequency() const;

private:
    enum class Side { Unknown, Low, High };

    void rise(std::int64_t micros);

    double m_middle;
    double m_band;
    Side m_side = Side::Unknown;
    std::optional<std::int64_t> m_lastRise;
    std::int64_t m_periods = 0;
    double m_sum = 0;
    double m_sumSquares = 0;
};

} // namespace adc
