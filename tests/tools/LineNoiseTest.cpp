#include "LineNoise.h"
#include "BoardSimulator.h"
#include "ReaderRun.h"
#include "RecordParser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

using namespace adc;
using adc::test::ReaderRun;

namespace {

std::string goodRecord(Mode kind, Random &random, std::vector<int> &values)
{
    const ModeInfo &format = modeInfo(kind);
    values.assign(static_cast<std::size_t>(format.channelCount), 0);
    for (int &v : values) {
        v = random.between(0, format.fullScale);
    }
    std::string record;
    BoardSimulator::appendRecord(kind, values.data(), record);
    return record;
}

std::string kindName(Mode kind)
{
    return std::string(modeInfo(kind).tag);
}

// Each kind of spoilt line, between good records of both kinds: the readers accept exactly the
// good records plus the spoilt one if its kind keeps it, and the good record after it comes
// through unharmed.
TEST(LineNoise, EveryKindHasTheOutcomeItIsCountedWith)
{
    Random random(2024);
    for (const NoiseKind noise : LineNoise::kAllKinds) {
        for (const Mode kind : {Mode::Int, Mode::Mcp3201}) {
            for (const std::string_view lineEnd : {"\r\n", "\n"}) {
                const int rounds = noise == NoiseKind::OverLong ? 20 : 300;
                for (int round = 0; round < rounds; ++round) {
                    const std::string where = std::string(LineNoise::name(noise)) + " in " +
                                              kindName(kind) + ", round " + std::to_string(round);
                    std::vector<int> values;
                    const std::string record = goodRecord(kind, random, values);
                    std::string line;
                    LineNoise::append(noise, kind, record, lineEnd, random, line);

                    ASSERT_FALSE(line.empty()) << where;
                    ASSERT_EQ(line.back(), '\n') << where;
                    ASSERT_EQ(line.find('\n'), line.size() - 1) << where << ": one line only";

                    std::vector<int> intAfter;
                    std::vector<int> mcpAfter;
                    std::vector<int> unused;
                    std::string stream = goodRecord(Mode::Int, random, unused) + "\r\n" +
                                         goodRecord(Mode::Mcp3201, random, unused) + "\r\n" + line +
                                         goodRecord(Mode::Int, random, intAfter) + "\r\n" +
                                         goodRecord(Mode::Mcp3201, random, mcpAfter) + "\r\n";
                    ReaderRun intReader(Mode::Int);
                    ReaderRun mcpReader(Mode::Mcp3201);
                    intReader.feed(stream);
                    mcpReader.feed(stream);
                    const bool kept = LineNoise::keepsRecord(noise);
                    ASSERT_EQ(intReader.accepted(), 2 + (kept && kind == Mode::Int)) << where;
                    ASSERT_EQ(mcpReader.accepted(), 2 + (kept && kind == Mode::Mcp3201)) << where;

                    const auto &lastInt = intReader.log().records.back();
                    const auto &lastMcp = mcpReader.log().records.back();
                    for (std::size_t k = 0; k < intAfter.size(); ++k) {
                        ASSERT_EQ(lastInt[k],
                                  "0" + std::to_string(intAfter[k]) + (k == 7 ? "\r" : ""))
                            << where;
                    }
                    for (std::size_t k = 0; k < mcpAfter.size(); ++k) {
                        ASSERT_EQ(lastMcp[k],
                                  "0" + std::to_string(mcpAfter[k]) + (k == 1 ? "\r" : ""))
                            << where;
                    }
                    if (kept) {
                        // The spoilt record is the middle one its reader shows.
                        const auto &shown =
                            (kind == Mode::Int ? intReader : mcpReader).log().records[1];
                        ASSERT_EQ(shown.size(), values.size()) << where;
                        bool oddByteShown = false;
                        for (std::size_t k = 0; k < values.size(); ++k) {
                            const std::string &text = shown[k];
                            oddByteShown =
                                oddByteShown || std::any_of(text.begin(), text.end(), [](char c) {
                                    return static_cast<unsigned char>(c) >= 128;
                                });
                            if (noise == NoiseKind::NulBytes) {
                                // NUL bytes are dropped: the values are the board's.
                                ASSERT_EQ(RecordParser::valueOf(text), values[k]) << where;
                            }
                        }
                        ASSERT_EQ(oddByteShown, noise == NoiseKind::HighBytesInValue) << where;
                    }
                }
            }
        }
    }
}

TEST(LineNoise, OverLongLinesPassTheReadersLimitAndNulBytesAreOnlyAdded)
{
    Random random(5);
    std::vector<int> values;
    for (int round = 0; round < 200; ++round) {
        for (const Mode kind : {Mode::Int, Mode::Mcp3201}) {
            const std::string record = goodRecord(kind, random, values);
            std::string line;
            LineNoise::append(NoiseKind::OverLong, kind, record, "\r\n", random, line);
            // Longer than the longest record a reader keeps (32767 characters with its blank).
            EXPECT_GT(line.size() - 1, 32767u);
            EXPECT_TRUE(line.starts_with(record));

            line.clear();
            LineNoise::append(NoiseKind::NulBytes, kind, record, "\r\n", random, line);
            std::string withoutNul = line;
            std::erase(withoutNul, '\0');
            EXPECT_GT(line.size(), withoutNul.size());
            EXPECT_EQ(withoutNul, record + "\r\n");
        }
    }
}

TEST(LineNoise, PickGivesEveryKindAndOverLongLinesRarely)
{
    Random random(99);
    std::map<NoiseKind, int> seen;
    const int picks = 100000;
    for (int i = 0; i < picks; ++i) {
        ++seen[LineNoise::pick(random)];
    }
    for (const NoiseKind noise : LineNoise::kAllKinds) {
        EXPECT_GT(seen[noise], 0) << LineNoise::name(noise);
    }
    const int common = picks / static_cast<int>(LineNoise::kAllKinds.size() - 1);
    EXPECT_LT(seen[NoiseKind::OverLong], common / 20);
    EXPECT_GT(seen[NoiseKind::Garbage], common * 8 / 10);
    EXPECT_LT(seen[NoiseKind::Garbage], common * 12 / 10);
}

} // namespace
