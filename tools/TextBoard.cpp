#include "TextBoard.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <numbers>
#include <string_view>

namespace adc {

namespace {

struct Sensor {
    std::string_view name;
    double centre;
    double amplitude;
};

// What a bench sketch typically reads, with a plausible level and swing.
constexpr std::array<Sensor, 8> kSensors{{
    {"temp", 22.0, 3.0},
    {"hum", 45.0, 10.0},
    {"pres", 1013.0, 4.0},
    {"light", 500.0, 300.0},
    {"sound", 60.0, 15.0},
    {"volt", 3.3, 0.2},
    {"amp", 0.5, 0.3},
    {"speed", 120.0, 40.0},
}};

// Periods in samples: different enough that no two traces keep in step.
constexpr std::array<std::uint64_t, 8> kTextPeriods = {100, 70, 130, 90, 160, 60, 110, 80};

} // namespace

TextBoard::TextBoard(Format format, int channels, std::uint64_t seed, std::string_view lineEnd)
    : m_format(format), m_lineEnd(lineEnd), m_random(seed)
{
    const auto count = static_cast<std::size_t>(std::clamp(channels, 1, 32));
    for (std::size_t k = 0; k < count; ++k) {
        const Sensor &sensor = kSensors[k % kSensors.size()];
        const std::size_t round = k / kSensors.size();
        m_names.push_back(std::string(sensor.name) +
                          (round > 0 ? std::to_string(round + 1) : std::string()));
        m_channels.push_back(
            {sensor.centre, sensor.amplitude, kTextPeriods[k % kTextPeriods.size()] + round});
    }
    // The names line of CSV is the only one a keyvalue board has no use for.
    m_namesSent = format == Format::KeyValue;
}

double TextBoard::valueAt(std::size_t channel)
{
    const Channel &c = m_channels[channel];
    const double x = static_cast<double>(m_sample % c.period) / static_cast<double>(c.period);
    switch (shapeOf(static_cast<int>(channel))) {
    case Shape::Sine:
        return c.centre + c.amplitude * std::sin(2.0 * std::numbers::pi * x);
    case Shape::Ramp:
        return c.centre + c.amplitude * (2.0 * x - 1.0);
    case Shape::Square:
        return c.centre + (x < 0.5 ? c.amplitude : -c.amplitude);
    case Shape::Noise:
        break;
    }
    return c.centre + c.amplitude * (2.0 * m_random.unit() - 1.0);
}

void TextBoard::appendValue(double value, std::string &out) const
{
    std::array<char, 32> digits;
    const auto end = std::to_chars(digits.data(), digits.data() + digits.size(), value,
                                   std::chars_format::fixed, 2)
                         .ptr;
    out.append(digits.data(), end);
}

LineOutcome TextBoard::appendLine(std::string &out)
{
    if (!m_namesSent) {
        m_namesSent = true;
        for (std::size_t k = 0; k < m_names.size(); ++k) {
            out += k > 0 ? "," : "";
            out += m_names[k];
        }
        out += m_lineEnd;
        return {};
    }
    for (std::size_t k = 0; k < m_channels.size(); ++k) {
        out += k > 0 ? "," : "";
        if (m_format == Format::KeyValue) {
            out += m_names[k];
            out += ':';
        }
        appendValue(valueAt(k), out);
    }
    out += m_lineEnd;
    ++m_sample;
    return {};
}

} // namespace adc
