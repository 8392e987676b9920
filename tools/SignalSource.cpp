#include "SignalSource.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace adc {

namespace {

// Periods in samples: different enough that no two traces keep in step.
constexpr std::array<std::uint64_t, 8> kPeriods = {120, 84, 150, 64, 200, 96, 136, 72};

// The wave of `shape` at phase x in [0, 1), between -1 and 1.
double wave(SignalSource::Shape shape, double x)
{
    switch (shape) {
    case SignalSource::Shape::Sine:
        return std::sin(2.0 * std::numbers::pi * x);
    case SignalSource::Shape::Triangle:
        return 4.0 * std::abs(x - 0.5) - 1.0;
    case SignalSource::Shape::Ramp:
        return 2.0 * x - 1.0;
    case SignalSource::Shape::Square:
        return x < 0.5 ? 0.8 : -0.8;
    }
    return 0.0;
}

} // namespace

SignalSource::SignalSource(Mode mode)
{
    const ModeInfo &format = modeInfo(mode);
    m_fullScale = format.fullScale;
    m_noise = std::max(1, format.fullScale / 256);
    const int n = format.channelCount;
    // Each channel gets its own band of the range; neighbouring bands overlap a little.
    const double spacing = n > 1 ? std::min(0.4, 0.8 / (n - 1)) : 0.0;
    const double amplitude = (n > 1 ? std::min(0.2, 0.7 * spacing) : 0.3) * m_fullScale;
    for (int k = 0; k < n; ++k) {
        const std::uint64_t period = kPeriods[static_cast<std::size_t>(k) % kPeriods.size()];
        m_channels.push_back({static_cast<Shape>(k % 4), period,
                              period * static_cast<unsigned>(k) / 5,
                              (0.5 + spacing * (k - (n - 1) / 2.0)) * m_fullScale, amplitude});
    }
}

void SignalSource::sample(std::uint64_t index, Random &random, std::span<int> values) const
{
    for (std::size_t k = 0; k < m_channels.size(); ++k) {
        const Channel &c = m_channels[k];
        const double x = static_cast<double>((index + c.offset) % c.period) / c.period;
        const double level = c.centre + c.amplitude * wave(c.shape, x);
        const int noise = random.between(-m_noise, m_noise);
        values[k] = std::clamp(static_cast<int>(std::lround(level)) + noise, 0, m_fullScale);
    }
}

} // namespace adc
