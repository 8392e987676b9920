#include "ModeTable.h"

#include <cmath>
#include <limits>

namespace adc {

namespace {

// Traces of other boards' channels in colours that stand apart on the scope's dark ground.
constexpr std::array<int, kMaxChannels> kTextPalette{12, 10, 11, 14, 13, 9, 15, 7};

constexpr std::array<ModeInfo, 4> kModes{{
    {Mode::Int,
     Format::Board,
     'P',
     "PIC",
     8,
     1023,
     "int",
     "INT A/D",
     "INT",
     {7, 8, 9, 10, 11, 12, 13, 14}},
    {Mode::Mcp3201,
     Format::Board,
     'M',
     "MCP",
     2,
     4095,
     "mcp",
     "MCP3201 A/D",
     "MCP3201",
     {12, 9, 0, 0, 0, 0, 0, 0}},
    {Mode::Csv, Format::Csv, 0, "", kMaxTextChannels, 0, "csv", "CSV lines", "csv", kTextPalette},
    {Mode::KeyValue, Format::KeyValue, 0, "", kMaxTextChannels, 0, "keyvalue", "name:value lines",
     "keyvalue", kTextPalette},
}};

/// How many rows of kModes are the board's.
constexpr std::size_t kBoardModes = 2;

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

static_assert(kModes[0].mode == Mode::Int && kModes[1].mode == Mode::Mcp3201 &&
                  kModes[2].mode == Mode::Csv && kModes[3].mode == Mode::KeyValue,
              "a mode's row stands at the mode's number");

constexpr std::array<std::string_view, 3> kFormatNames{"board", "csv", "keyvalue"};

} // namespace

std::span<const ModeInfo> modeTable()
{
    return kModes;
}

std::span<const ModeInfo> boardModes()
{
    return std::span(kModes).first(kBoardModes);
}

const ModeInfo &modeInfo(Mode mode)
{
    return kModes[static_cast<std::size_t>(mode)];
}

bool isBoard(Mode mode)
{
    return modeInfo(mode).format == Format::Board;
}

Mode otherMode(Mode mode)
{
    switch (mode) {
    case Mode::Int:
        return Mode::Mcp3201;
    case Mode::Mcp3201:
        return Mode::Int;
    case Mode::Csv:
    case Mode::KeyValue:
        break;
    }
    return mode;
}

std::optional<Mode> modeForOption(std::string_view name)
{
    for (const ModeInfo &info : boardModes()) {
        if (info.optionName == name) {
            return info.mode;
        }
    }
    return std::nullopt;
}

std::string optionNames(std::string_view separator)
{
    std::string names;
    for (const ModeInfo &info : boardModes()) {
        names += (names.empty() ? "" : std::string(separator)) + std::string(info.optionName);
    }
    return names;
}

std::optional<Format> formatForOption(std::string_view name)
{
    for (std::size_t k = 0; k < kFormatNames.size(); ++k) {
        if (kFormatNames[k] == name) {
            return static_cast<Format>(k);
        }
    }
    return std::nullopt;
}

std::string_view formatOptionName(Format format)
{
    return kFormatNames[static_cast<std::size_t>(format)];
}

std::string formatNames(std::string_view separator)
{
    std::string names;
    for (const std::string_view name : kFormatNames) {
        names += (names.empty() ? "" : std::string(separator)) + std::string(name);
    }
    return names;
}

Mode modeOf(Format format)
{
    for (const ModeInfo &info : kModes) {
        if (info.format == format) {
            return info.mode;
        }
    }
    return Mode::Int;
}

Colour paletteColour(int number)
{
    return kPalette[static_cast<std::size_t>(number) & 15u];
}

Colour channelColour(Mode mode, int channel)
{
    const auto slot = static_cast<std::size_t>(channel) % kMaxChannels;
    return paletteColour(modeInfo(mode).paletteNumbers[slot]);
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
