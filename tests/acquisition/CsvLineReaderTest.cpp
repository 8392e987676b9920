#include "CsvLineReader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using namespace adc;

namespace {

const LineVerdict kTaken = LineVerdict::taken();
const LineVerdict kNames = LineVerdict::names();

LineVerdict dropped(DropReason reason)
{
    return LineVerdict::dropped(reason);
}

std::vector<double> values(const LineReader &reader)
{
    return {reader.values().begin(), reader.values().end()};
}

std::vector<std::string> names(const LineReader &reader)
{
    return {reader.names().begin(), reader.names().end()};
}

} // namespace

TEST(CsvLineReader, NamesThenNumbersOfOneCount)
{
    CsvLineReader reader;
    // A first line of names, even one cut at Start, names the channels.
    EXPECT_EQ(reader.read("temp,hum,pres", false), kNames);
    EXPECT_TRUE(reader.names().empty()) << "the count is not known before numbers";
    EXPECT_EQ(reader.read("23.5,1013.2,40", true), kTaken);
    EXPECT_EQ(names(reader), (std::vector<std::string>{"temp", "hum", "pres"}));
    EXPECT_EQ(values(reader), (std::vector<double>{23.5, 1013.2, 40}));
    // Commas, semicolons, tabs and blanks separate, several in a row or at the ends too.
    EXPECT_EQ(reader.read(" 1;\t2 ,, 3e1 ,", true), kTaken);
    EXPECT_EQ(values(reader), (std::vector<double>{1, 2, 30}));
    EXPECT_EQ(reader.read("1,2", true), dropped(DropReason::OtherCount));
    EXPECT_EQ(reader.read("1,2,3,4", true), dropped(DropReason::OtherCount));
    EXPECT_EQ(reader.read("1,x,3", true), dropped(DropReason::NotANumber));
    EXPECT_EQ(reader.read("temp,hum,pres", true), dropped(DropReason::NotANumber))
        << "names come only before numbers";
    EXPECT_EQ(reader.read("", true), dropped(DropReason::TooFewFields));
    EXPECT_EQ(reader.read(" , ;", true), dropped(DropReason::TooFewFields));
    EXPECT_EQ(values(reader), (std::vector<double>{1, 2, 30})) << "a drop leaves the values";
    // A line cut at Start is not taken for its values.
    EXPECT_EQ(reader.read("4,5,6", false), LineVerdict::skipped());
    reader.reset();
    EXPECT_TRUE(reader.names().empty());
}

TEST(CsvLineReader, TheCountComesFromTheFirstWholeLineOrIsGiven)
{
    CsvLineReader reader;
    // A boot message is no header for lines of another count.
    EXPECT_EQ(reader.read("Starting sensors", true), kNames);
    EXPECT_EQ(reader.read("3,40", false), LineVerdict::skipped()) << "may have been cut";
    EXPECT_EQ(reader.read("1,2,3", true), kTaken);
    EXPECT_EQ(names(reader), (std::vector<std::string>{"ch0", "ch1", "ch2"}));

    std::string wide;
    for (int k = 0; k < kMaxTextChannels + 1; ++k) {
        wide += std::to_string(k) + " ";
    }
    CsvLineReader fresh;
    EXPECT_EQ(fresh.read(wide, true), dropped(DropReason::OtherCount));
    EXPECT_EQ(fresh.channelCount(), 0);
    EXPECT_EQ(fresh.read(wide.substr(0, wide.rfind(' ', wide.size() - 2)), true), kTaken);
    EXPECT_EQ(fresh.channelCount(), kMaxTextChannels);

    CsvLineReader given(2);
    EXPECT_EQ(names(given), (std::vector<std::string>{"ch0", "ch1"}));
    EXPECT_EQ(given.read("a,b,c", true), dropped(DropReason::OtherCount));
    EXPECT_EQ(given.read("x,y", true), kNames);
    EXPECT_EQ(given.read("1,2,3", true), dropped(DropReason::OtherCount));
    EXPECT_EQ(given.read("nan,-inf", true), kTaken);
    EXPECT_EQ(names(given), (std::vector<std::string>{"x", "y"}));
    EXPECT_TRUE(std::isnan(given.values()[0]));
    given.reset();
    EXPECT_EQ(names(given), (std::vector<std::string>{"ch0", "ch1"})) << "the given count stays";
}
