#include "RecordParser.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

using namespace adc;

namespace {

struct Parsed {
    bool accepted = false;
    std::vector<std::string> texts;
    OrdinateTable ordinates{};
};

Parsed parse(Mode mode, std::string record)
{
    Parsed out;
    out.ordinates.fill(-7); // untouched slots keep this
    RecordParser::ValueTexts texts;
    out.accepted = RecordParser::parse(modeInfo(mode), record, texts, out.ordinates);
    if (out.accepted) {
        for (int k = 0; k < modeInfo(mode).channelCount; ++k) {
            out.texts.emplace_back(texts[k]);
        }
    }
    return out;
}

} // namespace

TEST(NumberRule, ReadsTheLeadingNumberOfAValueText)
{
    const std::pair<const char *, double> cases[] = {
        {"0512", 512},
        {"0512\r", 512},
        {"0", 0},
        {"0-5", 0},
        {"01.5", 1.5},
        {"0.5", 0.5},
        {"01E3", 1000},
        {"01D3", 1000},
        {"01e3", 1000},
        {"01d-2", 0.01},
        {"01E+2", 100},
        {"0abc", 0},
        {"01E", 1},
        {"01E+", 1},
        {"01.2.3", 1.2},
        {"0.", 0},
        {"012:34", 12},
        {"01 2\t3", 123},
        {"0\t1\n5", 15},
        {"01.5E1x", 15},
        {"01 E 2", 100},
        {"0.e5", 0},
        {"01.e2", 100},
        {"0\xe9", 0},
        {"000000000000000000000123", 123},
        {"012345678901234567890", 12345678901234567890.0},
    };
    for (const auto &[text, value] : cases) {
        EXPECT_DOUBLE_EQ(RecordParser::valueOf(text), value) << '"' << text << '"';
    }
}

TEST(NumberRule, HugeAndTinyNumbersDoNotFail)
{
    EXPECT_DOUBLE_EQ(RecordParser::valueOf("01E308"), 1e308);
    EXPECT_TRUE(std::isinf(RecordParser::valueOf("01E309")));
    EXPECT_TRUE(std::isinf(RecordParser::valueOf("0" + std::string(400, '9'))));
    EXPECT_EQ(RecordParser::valueOf("01E-400"), 0.0);
    EXPECT_EQ(RecordParser::valueOf("0.0000E999999999999999"), 0.0);
    EXPECT_DOUBLE_EQ(RecordParser::valueOf("0" + std::string(300, '0') + "7"), 7.0);
}

TEST(RecordParser, TagMustMatchExactly)
{
    const ModeInfo &pic = modeInfo(Mode::Int);
    EXPECT_TRUE(RecordParser::tagMatches(pic, "PIC "));
    EXPECT_TRUE(RecordParser::tagMatches(pic, "PICX 0:1 "));
    EXPECT_FALSE(RecordParser::tagMatches(pic, "pic 0:1 "));
    EXPECT_FALSE(RecordParser::tagMatches(pic, "PI"));
    EXPECT_FALSE(RecordParser::tagMatches(pic, "P "));
    EXPECT_FALSE(RecordParser::tagMatches(pic, "MCP "));
    EXPECT_TRUE(RecordParser::tagMatches(modeInfo(Mode::Mcp3201), "MCP 0:1 1:2 "));
}

TEST(RecordParser, WalksTheBoardsRecord)
{
    const Parsed p = parse(Mode::Int, "PIC 0:512 1:0 2:1023 3:7 4:100 5:200 6:300 7:400\r ");
    ASSERT_TRUE(p.accepted);
    EXPECT_EQ(p.texts, (std::vector<std::string>{"0512", "00", "01023", "07", "0100", "0200",
                                                 "0300", "0400\r"}));
    const OrdinateTable expected{2511, 4047, 978, 4026, 3747, 3447, 3147, 2847, -7, -7, -7};
    EXPECT_EQ(p.ordinates, expected);
}

TEST(RecordParser, FieldsMayCarryAnyLabelColonsAndEmptyValues)
{
    // Labels other than digits, text between fields, an empty field and extra fields.
    const Parsed p = parse(Mode::Int, "PIC a:1 b:2 junk c: d:12:34 e:5 f:6 g:7 h:8 9:99 ");
    ASSERT_TRUE(p.accepted);
    EXPECT_EQ(p.texts,
              (std::vector<std::string>{"01", "02", "0", "012:34", "05", "06", "07", "08"}));
    EXPECT_EQ(p.ordinates[2], 4047);
    EXPECT_EQ(p.ordinates[3], 4047 - 36);

    const Parsed m = parse(Mode::Mcp3201, "MCP 0:4095 1:0.5 ");
    ASSERT_TRUE(m.accepted);
    EXPECT_EQ(m.texts, (std::vector<std::string>{"04095", "00.5"}));
    EXPECT_EQ(m.ordinates[0], 0);
    EXPECT_EQ(m.ordinates[1], 4094);
    EXPECT_EQ(m.ordinates[2], -7); // slots past the mode's channels stay as they were
}

TEST(RecordParser, RecordsWithTooFewSeparatorsAreDroppedWhole)
{
    for (const char *record : {"PIC 0:1 1:2 2:3 3:4 4:5 5:6 6:7 ", "PIC ", "P ",
                               "PIC 0:1 1:2 2:3 3:4 4:5 5:6 6:7 7", "PIC :::::::"}) {
        const Parsed p = parse(Mode::Int, record);
        EXPECT_FALSE(p.accepted) << record;
        EXPECT_EQ(p.ordinates[0], -7) << record;
    }
    // Eight colons are enough even without labels.
    EXPECT_TRUE(parse(Mode::Int, "PIC :1 :2 :3 :4 :5 :6 :7 :8 ").accepted);
    EXPECT_FALSE(parse(Mode::Mcp3201, "MCP 0:1 ").accepted);
}

TEST(RecordParser, ValuesBeyondTheRangeSaturateInsteadOfFailing)
{
    const Parsed p = parse(Mode::Int, "PIC 0:1E309 1:1E308 2:" + std::string(400, '9') +
                                          " 3:-5 4:1349 5:1350 6:0.5 7:1.5 ");
    ASSERT_TRUE(p.accepted);
    constexpr auto lo = std::numeric_limits<std::int32_t>::min();
    EXPECT_EQ(p.ordinates[0], lo);
    EXPECT_EQ(p.ordinates[1], lo);
    EXPECT_EQ(p.ordinates[2], lo);
    EXPECT_EQ(p.ordinates[3], 4047); // "0-5" reads as 0
    EXPECT_EQ(p.ordinates[4], 0);
    EXPECT_EQ(p.ordinates[5], -3);
    EXPECT_EQ(p.ordinates[6], 4046);
    EXPECT_EQ(p.ordinates[7], 4042);
}

TEST(RecordParser, OverlongRecordsAreRefused)
{
    std::string record = "MCP 0:1 1:2 " + std::string(40000, 'x') + " ";
    EXPECT_FALSE(parse(Mode::Mcp3201, record).accepted);
}
