#include "ModeTable.h"

#include <cmath>
#include <limits>

namespace adc {

namespace {

constexpr std::array<ModeInfo, 2> kModes{{
    {Mode::Int, 'P', "PIC", 8, 1023, "int", "INT A/D", "INT", {7, 8, 9, 10, 11, 12, 13, 14}},
    {Mode::Mcp3201,
     'M',
     "MCP",
     2,
     4095,
     "mcp",
     "MCP3201 A/D",
     "MCP3201",
     {12, 9, 0, 0, 0, 0, 0, 0}},
}};

constexpr Colour rgb(unsigned r, unsigned g, unsigned b)
{
    return r | (g << 8) | (b << 16);
}

// The standard 16-colour palette, by number.
constexpr std::array<Colour, 16> kPalette{
    rgb(0, 0, 0),       rgb(0, 0, 128),   rgb(0, 128, 0),   rgb(0, 128, 128),
    rgb(128, 0, 0),     rgb(128, 0, 128), rgb(128, 128, 0), rgb(192, 192, 192),
    rgb(128, 128, 128), rgb(0, 0, 255),   rgb(0, 255, 0),   rgb(0, 255, 255),
    rgb(255, 0, 0),     rgb(255, 0, 255), rgb(255, 255, 0), rgb(255, 255, 255),
};

static_assert(kModes[0].mode == Mode::Int && kModes[1].mode == Mode::Mcp3201,
              "a mode's row stands at the mode's number");

} // namespace

std::span<const ModeInfo> modeTable()
{
    return kModes;
}

const ModeInfo &modeInfo(Mode mode)
{
    return kModes[static_cast<std::size_t>(mode)];
}

Mode otherMode(Mode mode)
{
    return mode == Mode::Int ? Mode::Mcp3201 : Mode::Int;
}

std::optional<Mode> modeForOption(std::string_view name)
{
    for (const ModeInfo &info : kModes) {
        if (info.optionName == name) {
            return info.mode;
        }
    }
    return std::nullopt;
}

std::string optionNames(std::string_view separator)
{
    std::string names;
    for (const ModeInfo &info : kModes) {
        names += (names.empty() ? "" : std::string(separator)) + std::string(info.optionName);
    }
    return names;
}

Colour paletteColour(int number)
{
    return kPalette[static_cast<std::size_t>(number) & 15u];
}

Colour channelColour(Mode mode, int channel)
{
    return paletteColour(modeInfo(mode).paletteNumbers[static_cast<std::size_t>(channel)]);
}

std::int32_t ordinateOf(Mode mode, double v)
{
    // Evaluated in the order the board's scale is written: 3 twips per unit below 2047, shifted
    // down by 2000 for the eight-channel converter; 4095 minus the value for the MCP3201.
    const double y = mode == Mode::Int ? (2047.0 - v * 3.0) + 2000.0 : 4095.0 - v;
    constexpr double lo = std::numeric_limits<std::int32_t>::min();
    constexpr double hi = std::numeric_limits<std::int32_t>::max();
    if (y > lo && y < hi) {
        // Whole values (the board's usual case) need no rounding.
        const auto whole = static_cast<std::int32_t>(y);
        if (static_cast<double>(whole) == y) {
            return whole;
        }
    } else if (std::isnan(y)) {
        return 0;
    }
    // Halves go to the even neighbour in the default rounding mode.
    const double r = std::nearbyint(y);
    if (r <= lo) {
        return std::numeric_limits<std::int32_t>::min();
    }
    if (r >= hi) {
        return std::numeric_limits<std::int32_t>::max();
    }
    return static_cast<std::int32_t>(r);
}

} // namespace adc
