#include "ModeTable.h"

#include <gtest/gtest.h>

#include <limits>

using namespace adc;

TEST(ModeTable, RowsCarryTheBoardsSyncTagAndChannels)
{
    const ModeInfo &pic = modeInfo(Mode::Int);
    EXPECT_EQ(pic.sync, 'P');
    EXPECT_EQ(pic.tag, "PIC");
    EXPECT_EQ(pic.channelCount, 8);
    const ModeInfo &mcp = modeInfo(Mode::Mcp3201);
    EXPECT_EQ(mcp.sync, 'M');
    EXPECT_EQ(mcp.tag, "MCP");
    EXPECT_EQ(mcp.channelCount, 2);
}

TEST(ModeTable, ChannelColoursAreThePaletteValues)
{
    // Colour values as the board's users know them: red in the low byte.
    const Colour intColours[8] = {12632256, 8421504, 16711680, 65280,
                                  16776960, 255,     16711935, 65535};
    for (int k = 0; k < 8; ++k) {
        EXPECT_EQ(channelColour(Mode::Int, k), intColours[k]) << "channel " << k;
    }
    EXPECT_EQ(channelColour(Mode::Mcp3201, 0), 255u);      // red
    EXPECT_EQ(channelColour(Mode::Mcp3201, 1), 16711680u); // blue
}

TEST(ModeTable, OrdinatesFollowEachModesScale)
{
    EXPECT_EQ(ordinateOf(Mode::Int, 0), 4047);
    EXPECT_EQ(ordinateOf(Mode::Int, 1), 4044);
    EXPECT_EQ(ordinateOf(Mode::Int, 1023), 978);
    EXPECT_EQ(ordinateOf(Mode::Int, 1349), 0);
    EXPECT_EQ(ordinateOf(Mode::Int, 1350), -3);
    EXPECT_EQ(ordinateOf(Mode::Mcp3201, 0), 4095);
    EXPECT_EQ(ordinateOf(Mode::Mcp3201, 4095), 0);
    EXPECT_EQ(ordinateOf(Mode::Mcp3201, 5000), -905);
}

TEST(ModeTable, HalvesRoundToTheEvenNeighbour)
{
    EXPECT_EQ(ordinateOf(Mode::Int, 0.5), 4046);     // 4045.5
    EXPECT_EQ(ordinateOf(Mode::Int, 1.5), 4042);     // 4042.5
    EXPECT_EQ(ordinateOf(Mode::Mcp3201, 0.5), 4094); // 4094.5
    EXPECT_EQ(ordinateOf(Mode::Mcp3201, 1.5), 4094); // 4093.5
    EXPECT_EQ(ordinateOf(Mode::Mcp3201, 0.4), 4095);
    EXPECT_EQ(ordinateOf(Mode::Mcp3201, 0.6), 4094);
}

TEST(ModeTable, OrdinatesBeyondThe32BitRangeSaturate)
{
    constexpr auto lo = std::numeric_limits<std::int32_t>::min();
    constexpr auto hi = std::numeric_limits<std::int32_t>::max();
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(ordinateOf(Mode::Int, 1e300), lo);
    EXPECT_EQ(ordinateOf(Mode::Int, inf), lo);
    EXPECT_EQ(ordinateOf(Mode::Mcp3201, 1e10), lo);
    EXPECT_EQ(ordinateOf(Mode::Mcp3201, -1e10), hi);
    // Just inside the range stays exact.
    EXPECT_EQ(ordinateOf(Mode::Mcp3201, 4095.0 - 2147483647.0), hi);
    EXPECT_EQ(ordinateOf(Mode::Mcp3201, 4095.0 + 2147483648.0), lo);
}
