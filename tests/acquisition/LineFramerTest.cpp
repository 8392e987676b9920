#include "LineFramer.h"
#include "RecordFramer.h"

#include <gtest/gtest.h>

#include <string>

using adc::LineFramer;
using namespace std::string_literals;

TEST(LineFramer, BoundsLinesAsTheBoardsFramerBoundsRecords)
{
    // The longest record the board's framer takes, and one character more, with NULs and a
    // carriage return in them: both framers draw the line at the same place.
    for (const std::size_t extra : {0u, 1u}) {
        const std::string body(adc::kMaxRecordLength - 3 + extra, '5');
        const std::string text = "P" + body.substr(0, 10) + "\0\0"s + body.substr(10) + "\r\n";
        adc::RecordFramer board('P');
        std::string_view forBoard = text;
        const bool boardTook = board.feed(forBoard);
        LineFramer framer;
        std::string_view input = text;
        ASSERT_TRUE(framer.feed(input));
        EXPECT_EQ(framer.tooLong(), !boardTook) << "extra " << extra;
        EXPECT_EQ(framer.length(), text.size() - 3 - (framer.tooLong() ? 0 : 1));
    }
    // A line far longer keeps its first characters and its length, in bounded memory.
    LineFramer framer;
    const std::string block(1 << 20, 'x');
    for (int i = 0; i < 8; ++i) {
        std::string_view input = block;
        EXPECT_FALSE(framer.feed(input));
    }
    std::string_view end = "y\nz\n";
    ASSERT_TRUE(framer.feed(end));
    EXPECT_TRUE(framer.tooLong());
    EXPECT_EQ(framer.length(), 8u * block.size() + 1);
    EXPECT_EQ(framer.line(), std::string_view(block).substr(0, LineFramer::kMaxLineLength));
    ASSERT_TRUE(framer.feed(end));
    EXPECT_EQ(framer.line(), "z");
    EXPECT_FALSE(framer.tooLong());
    EXPECT_TRUE(framer.whole());
    // After a reset (the device came back) the next line may have been cut.
    framer.reset();
    std::string_view again = "1,2\n";
    ASSERT_TRUE(framer.feed(again));
    EXPECT_FALSE(framer.whole());
}
