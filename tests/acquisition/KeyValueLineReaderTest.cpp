#include "KeyValueLineReader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using namespace adc;

namespace {

std::vector<std::string> names(const LineReader &reader)
{
    return {reader.names().begin(), reader.names().end()};
}

// The values of the line taken last, NaN written as -999 so that they compare.
std::vector<double> values(const LineReader &reader)
{
    std::vector<double> out;
    for (const double v : reader.values()) {
        out.push_back(std::isnan(v) ? -999 : v);
    }
    return out;
}

} // namespace

TEST(KeyValueLineReader, OneChannelPerNameInTheOrderNamesCome)
{
    KeyValueLineReader reader;
    EXPECT_EQ(reader.read("temp:1 hum:2", false), LineVerdict::skipped());
    EXPECT_TRUE(reader.names().empty()) << "a line cut at Start names nothing";
    EXPECT_EQ(reader.read("temp:23.5 hum=40", true), LineVerdict::taken());
    EXPECT_EQ(reader.read("pres:1e3,hum:41,\ttemp:-2", true), LineVerdict::taken());
    EXPECT_EQ(names(reader), (std::vector<std::string>{"temp", "hum", "pres"}));
    EXPECT_EQ(values(reader), (std::vector<double>{-2, 41, 1000}));
    // A missing name leaves its cell empty; "name: value" and a repeated name are read.
    EXPECT_EQ(reader.read("hum: 42 hum:43", true), LineVerdict::taken());
    EXPECT_EQ(values(reader), (std::vector<double>{-999, 43, -999}));
    // Fields that are no pair, or whose value is no number, are passed over and counted.
    EXPECT_EQ(reader.read("Status: ok temp:5 C x=", true), LineVerdict::taken());
    EXPECT_EQ(values(reader), (std::vector<double>{5, -999, -999}));
    EXPECT_EQ(reader.fieldsPassedOver(), 3);
    EXPECT_EQ(names(reader).size(), 3u) << "a name comes with a number";

    EXPECT_EQ(reader.read("temp:warm", true), LineVerdict::dropped(DropReason::NotANumber));
    EXPECT_EQ(reader.read("hello world", true), LineVerdict::dropped(DropReason::TooFewFields));
    EXPECT_EQ(reader.read("", true), LineVerdict::dropped(DropReason::TooFewFields));
    EXPECT_EQ(reader.read(":5 =6", true), LineVerdict::dropped(DropReason::TooFewFields));
    reader.reset();
    EXPECT_TRUE(reader.names().empty());
}

TEST(KeyValueLineReader, NamesPastThe32ndGetNoChannel)
{
    KeyValueLineReader reader;
    std::string line;
    for (int k = 0; k < kMaxTextChannels + 3; ++k) {
        line += "n" + std::to_string(k) + ":" + std::to_string(k) + ",";
    }
    EXPECT_EQ(reader.read(line, true), LineVerdict::taken());
    ASSERT_EQ(reader.names().size(), static_cast<std::size_t>(kMaxTextChannels));
    EXPECT_EQ(reader.names().back(), "n31");
    EXPECT_EQ(reader.values().back(), 31);
    EXPECT_EQ(reader.namesRefused(), 3);
    EXPECT_EQ(reader.read("n40:1 n41:2", true), LineVerdict::dropped(DropReason::OtherCount));
    EXPECT_EQ(reader.read("n40:1 n0:7", true), LineVerdict::taken());
    EXPECT_EQ(reader.values().front(), 7);
    EXPECT_EQ(reader.namesRefused(), 4);
}
