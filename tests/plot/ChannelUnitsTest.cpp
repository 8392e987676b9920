#include "ChannelUnits.h"

#include <gtest/gtest.h>

using namespace adc;

TEST(ChannelUnits, AnOptionSetsOnlyItsFieldsAndCountsBecomeUnits)
{
    std::string error;
    ChannelUnits units;
    units.apply(*ChannelUnits::parse("2:supply:5/1023:-1:V", error));
    EXPECT_DOUBLE_EQ(units.toUnits(2, 1023), 4.0);
    EXPECT_DOUBLE_EQ(units.toRaw(2, 4.0), 1023);
    EXPECT_EQ(units.name(2, "ch2"), "supply");
    EXPECT_EQ(units.unit(2), "V");
    // Empty and missing fields keep what the channel has.
    units.apply(*ChannelUnits::parse("2::::mV", error));
    units.apply(*ChannelUnits::parse("5:temp", error));
    EXPECT_EQ(units.name(2, "ch2"), "supply");
    EXPECT_EQ(units.unit(2), "mV");
    EXPECT_DOUBLE_EQ(units.toUnits(2, 0), -1.0);
    EXPECT_FALSE(units.scaled(5));
    EXPECT_EQ(units.name(5, "ch5"), "temp");
    // A channel never set reads its counts and keeps the run's name.
    EXPECT_EQ(units.name(7, "ch7"), "ch7");
    EXPECT_DOUBLE_EQ(units.toUnits(7, 12.5), 12.5);
    EXPECT_TRUE(units.sameScale(5, 7));
    EXPECT_FALSE(units.sameScale(2, 7));
    EXPECT_FALSE(units.isDefault());
    EXPECT_TRUE(ChannelUnits().isDefault());
}

TEST(ChannelUnits, MistakesAreRefusedNamingTheField)
{
    for (const auto &[text, mentions] :
         {std::pair("x:a", "channel number"), std::pair("32", "0 to 31"),
          std::pair("-1", "channel number"), std::pair("1.5", "channel number"),
          std::pair("0::0", "gain"), std::pair("0::5/0", "gain"), std::pair("0::abc", "gain"),
          std::pair("0:::1e999", "offset"), std::pair("0:a:1:0:V:extra", "N:NAME")}) {
        std::string error;
        EXPECT_FALSE(ChannelUnits::parse(text, error)) << text;
        EXPECT_NE(error.find(mentions), std::string::npos) << text << ": " << error;
    }
}
