#include "RecordFramer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using adc::RecordFramer;

namespace {

// Feeds `stream` in pieces of `piece` characters and returns every record completed.
std::vector<std::string> frame(char sync, std::string_view stream, std::size_t piece = 1000000)
{
    RecordFramer framer(sync);
    std::vector<std::string> records;
    while (!stream.empty()) {
        std::string_view chunk = stream.substr(0, piece);
        stream.remove_prefix(chunk.size());
        while (framer.feed(chunk)) {
            records.push_back(framer.record());
        }
    }
    return records;
}

using namespace std::string_literals;

} // namespace

TEST(RecordFramer, CollectsFromSyncToLineFeedAndAppendsABlank)
{
    EXPECT_EQ(frame('P', "PIC 0:5\n"), std::vector<std::string>{"PIC 0:5 "});
    // Noise before the sync character, and a line feed while hunting, are discarded.
    EXPECT_EQ(frame('P', "xx\n\nabPIC\n"), std::vector<std::string>{"PIC "});
    // P directly followed by a line feed is a record of its own.
    EXPECT_EQ(frame('P', "P\n"), std::vector<std::string>{"P "});
    // Nothing is handed on before the line feed.
    EXPECT_TRUE(frame('P', "PIC 0:5 1:7").empty());
}

TEST(RecordFramer, DropsNulButKeepsCarriageReturnAndInnerSyncCharacters)
{
    EXPECT_EQ(frame('P', "P\0IC\n"s), std::vector<std::string>{"PIC "});
    EXPECT_EQ(frame('P', "PIC 0:5\r\n"), std::vector<std::string>{"PIC 0:5\r "});
    EXPECT_EQ(frame('P', "PIPIC 0:P\n"), std::vector<std::string>{"PIPIC 0:P "});
    EXPECT_EQ(frame('M', "\0\0MCP\0 0:1\0\0\n"s), std::vector<std::string>{"MCP 0:1 "});
}

TEST(RecordFramer, AnMcpRecordStartsAnIntRecordAtItsP)
{
    EXPECT_EQ(frame('P', "MCP 0:1 1:2\r\nPIC 0:3\n"),
              (std::vector<std::string>{"P 0:1 1:2\r ", "PIC 0:3 "}));
    EXPECT_EQ(frame('M', "PIC 0:3\nMCP 0:1\n"), std::vector<std::string>{"MCP 0:1 "});
}

TEST(RecordFramer, RecordsAreTheSameWhateverTheStreamIsCutInto)
{
    const std::string stream = "junk\0PIC 0:1 1:2\r\nMCP x\nP\n\nPIC\0 0:9\r\nPI"s;
    const auto whole = frame('P', stream);
    ASSERT_EQ(whole.size(), 4u);
    for (std::size_t piece : {1u, 2u, 3u, 7u, 13u}) {
        EXPECT_EQ(frame('P', stream, piece), whole) << "pieces of " << piece;
    }
}

TEST(RecordFramer, CharactersAfterTheLineFeedBelongToTheNextRecord)
{
    RecordFramer framer('P');
    std::string_view input = "PIC 1\nPIC 2\nPI";
    ASSERT_TRUE(framer.feed(input));
    EXPECT_EQ(framer.record(), "PIC 1 ");
    EXPECT_EQ(input, "PIC 2\nPI");
    ASSERT_TRUE(framer.feed(input));
    EXPECT_EQ(framer.record(), "PIC 2 ");
    EXPECT_FALSE(framer.feed(input));
    std::string_view rest = "C 3\n";
    ASSERT_TRUE(framer.feed(rest));
    EXPECT_EQ(framer.record(), "PIC 3 ");
}

TEST(RecordFramer, OverlongLinesAreDroppedWholeWithBoundedMemory)
{
    const std::size_t limit = RecordFramer::kMaxRecordLength;
    // Exactly at the limit (blank included) passes; one more character is dropped.
    const std::string fits = "P" + std::string(limit - 2, 'x') + "\n";
    const std::string tooLong = "P" + std::string(limit - 1, 'x') + "\n";
    auto records = frame('P', fits + tooLong + "PIC ok\n", 4096);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].size(), limit);
    EXPECT_EQ(records[1], "PIC ok ");

    // Ten megabytes without a line feed: nothing handed on, memory stays near the limit.
    RecordFramer framer('P');
    const std::string block(1 << 20, 'P');
    for (int i = 0; i < 10; ++i) {
        std::string_view in = block;
        EXPECT_FALSE(framer.feed(in));
        EXPECT_LE(framer.record().capacity(), 2 * limit);
    }
    std::string_view end = "\nPIC 1\n";
    ASSERT_TRUE(framer.feed(end));
    EXPECT_EQ(framer.record(), "PIC 1 ");
    EXPECT_EQ(framer.overlongDropped(), 1u);
}

TEST(RecordFramer, NulCharactersDoNotCountTowardsTheLimit)
{
    const std::size_t limit = RecordFramer::kMaxRecordLength;
    std::string line = "P" + std::string(limit - 2, 'x');
    line.insert(5, std::string(50000, '\0'));
    const auto records = frame('P', line + "\n");
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].size(), limit);
}
