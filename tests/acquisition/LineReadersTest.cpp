#include "CsvLineReader.h"
#include "KeyValueLineReader.h"
#include "NumberText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

using namespace adc;

namespace {

const LineVerdict kTaken = LineVerdict::taken();
const LineVerdict kNames = LineVerdict::names();
constexpr auto dropped = LineVerdict::dropped;

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

// Short decimals take a quicker way to the number C reads; every other text takes C's.
TEST(NumberText, ReadsNumbersAsCDoes)
{
    std::mt19937_64 random(5);
    const std::string characters = "0123456789.-+e";
    for (int i = 0; i < 300000; ++i) {
        std::string text;
        for (std::size_t n = 1 + random() % 18; n > 0; --n) {
            text += characters[random() % (n > 3 ? 11 : characters.size())];
        }
        char *end = nullptr;
        const double c = std::strtod(text.c_str(), &end);
        const std::optional<double> ours = numberFromText(text);
        ASSERT_EQ(ours.has_value(), *end == '\0' && end != text.c_str()) << text;
        if (ours) {
            ASSERT_EQ(std::signbit(*ours), std::signbit(c)) << text;
            ASSERT_EQ(*ours, c) << text;
        }
    }
}

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
    EXPECT_EQ(reader.read("1,x,3", true), dropped(DropReason::NotANumber));
    EXPECT_EQ(reader.read("temp,hum,pres", true), dropped(DropReason::NotANumber))
        << "names come only before numbers";
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
    EXPECT_EQ(values(given), (std::vector<double>{-999, -HUGE_VAL}));
    given.reset();
    EXPECT_EQ(names(given), (std::vector<std::string>{"ch0", "ch1"})) << "the given count stays";
}

TEST(KeyValueLineReader, OneChannelPerNameInTheOrderNamesCome)
{
    KeyValueLineReader reader;
    EXPECT_EQ(reader.read("temp:1 hum:2", false), LineVerdict::skipped());
    EXPECT_TRUE(reader.names().empty()) << "a line cut at Start names nothing";
    EXPECT_EQ(reader.read("temp:23.5 hum=40", true), kTaken);
    EXPECT_EQ(reader.read("pres:1e3,hum:41,\ttemp:-2", true), kTaken);
    EXPECT_EQ(names(reader), (std::vector<std::string>{"temp", "hum", "pres"}));
    EXPECT_EQ(values(reader), (std::vector<double>{-2, 41, 1000}));
    // A missing name leaves its cell empty; "name: value" and a repeated name are read.
    EXPECT_EQ(reader.read("hum: 42 hum:43", true), kTaken);
    EXPECT_EQ(values(reader), (std::vector<double>{-999, 43, -999}));
    // Fields that are no pair, or whose value is no number, are passed over and counted.
    EXPECT_EQ(reader.read("Status: ok temp:5 C x=", true), kTaken);
    EXPECT_EQ(values(reader), (std::vector<double>{5, -999, -999}));
    EXPECT_EQ(reader.fieldsPassedOver(), 3);
    EXPECT_EQ(names(reader).size(), 3u) << "a name comes with a number";

    EXPECT_EQ(reader.read("temp:warm", true), dropped(DropReason::NotANumber));
    EXPECT_EQ(reader.read("hello world", true), dropped(DropReason::TooFewFields));
    EXPECT_EQ(reader.read(":5 =6", true), dropped(DropReason::TooFewFields));
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
    EXPECT_EQ(reader.read(line, true), kTaken);
    ASSERT_EQ(reader.names().size(), static_cast<std::size_t>(kMaxTextChannels));
    EXPECT_EQ(reader.names().back(), "n31");
    EXPECT_EQ(reader.values().back(), 31);
    EXPECT_EQ(reader.namesRefused(), 3);
    EXPECT_EQ(reader.read("n40:1 n41:2", true), dropped(DropReason::OtherCount));
    EXPECT_EQ(reader.read("n40:1 n0:7", true), kTaken);
    EXPECT_EQ(reader.values().front(), 7);
    EXPECT_EQ(reader.namesRefused(), 4);
}
