#include "CrossingCounter.h"

#include <algorithm>
#include <cmath>

namespace adc {

void CrossingCounter::rise(std::int64_t micros)
{
    if (m_lastRise) {
        const auto period = static_cast<double>(micros - *m_lastRise);
        ++m_periods;
        m_sum += period;
        m_sumSquares += period * period;
    }
    m_lastRise = micros;
}

void CrossingCounter::restart()
{
    m_side = Side::Unknown;
    m_lastRise.reset();
}

std::optional<double> CrossingCounter::frequency() const
{
    if (m_periods < 2 || m_sum <= 0) {
        return std::nullopt;
    }
    const double n = static_cast<double>(m_periods);
    const double mean = m_sum / n;
    const double variance = std::max(0.0, m_sumSquares / n - mean * mean);
    if (std::sqrt(variance) > 0.25 * mean) {
        return std::nullopt;
    }
    return 1e6 / mean;
}

} // namespace adc
