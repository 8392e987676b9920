#include "BoardSimulator.h"
#include "BoardLine.h"
#include "ReaderRun.h"
#include "RecordParser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <string>
#include <tuple>

using namespace adc;
using adc::test::ReaderRun;

namespace {

using Ending = SimulatorOptions::LineEnding;
/// The modes a board sends in turn.
using Modes = std::vector<Mode>;
const Modes kInt{Mode::Int};
const Modes kMcp{Mode::Mcp3201};
const Modes kBoth{Mode::Int, Mode::Mcp3201};

std::string nameOf(const Modes &modes)
{
    return modes == kBoth ? "Both" : modes == kInt ? "Int" : "Mcp";
}

struct Stream {
    std::string bytes;
    std::int64_t acceptedInt = 0;
    std::int64_t acceptedMcp = 0;
};

SimulatorOptions makeOptions(const Modes &modes, Ending ending, std::uint64_t seed,
                             double noise = 0.0)
{
    SimulatorOptions o;
    o.modes = modes;
    o.lineEnding = ending;
    o.seed = seed;
    o.noise = noise;
    return o;
}

Stream generate(const SimulatorOptions &options, int lines)
{
    BoardSimulator board(options);
    Stream s;
    for (int i = 0; i < lines; ++i) {
        const LineOutcome outcome = board.appendLine(s.bytes);
        s.acceptedInt += outcome.acceptedInt;
        s.acceptedMcp += outcome.acceptedMcp;
    }
    return s;
}

std::vector<std::string> splitLines(const std::string &bytes)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t nl; (nl = bytes.find('\n', start)) != std::string::npos; start = nl + 1) {
        lines.push_back(bytes.substr(start, nl + 1 - start));
    }
    EXPECT_EQ(start, bytes.size()) << "the stream must end with a line feed";
    return lines;
}

// A value text as the reader shows it, turned back into the board's integer.
int valueOfText(const std::string &text)
{
    const double v = RecordParser::valueOf(text);
    EXPECT_EQ(v, std::floor(v)) << text;
    return static_cast<int>(v);
}

struct FormatCase {
    Modes mode;
    Ending ending;
};

class CleanRecords : public ::testing::TestWithParam<FormatCase> {};

TEST_P(CleanRecords, HaveTheBoardsFormatAndAreAllAcceptedByTheReader)
{
    const auto [mode, ending] = GetParam();
    const Stream s = generate(makeOptions(mode, ending, 42), 2000);
    const std::string_view end = ending == Ending::CrLf ? "\r\n" : "\n";

    const std::vector<std::string> lines = splitLines(s.bytes);
    ASSERT_EQ(lines.size(), 2000u);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const bool isPic = test::isBoardRecord(lines[i], "PIC", 8, end);
        const bool isMcp = test::isBoardRecord(lines[i], "MCP", 2, end);
        ASSERT_TRUE(isPic || isMcp) << "line " << i << ": " << lines[i];
        if (mode == kInt) {
            ASSERT_TRUE(isPic) << lines[i];
        } else if (mode == kMcp) {
            ASSERT_TRUE(isMcp) << lines[i];
        } else {
            // Both kinds take turns, INT first.
            ASSERT_EQ(isPic, i % 2 == 0) << "line " << i;
        }
    }

    ReaderRun intReader(adc::Mode::Int);
    ReaderRun mcpReader(adc::Mode::Mcp3201);
    intReader.feed(s.bytes);
    mcpReader.feed(s.bytes);
    const std::int64_t expectInt = mode == kInt ? 2000 : mode == kBoth ? 1000 : 0;
    const std::int64_t expectMcp = mode == kMcp ? 2000 : mode == kBoth ? 1000 : 0;
    EXPECT_EQ(intReader.accepted(), expectInt);
    EXPECT_EQ(mcpReader.accepted(), expectMcp);
    EXPECT_EQ(s.acceptedInt, expectInt);
    EXPECT_EQ(s.acceptedMcp, expectMcp);

    // Every value the reader shows is a whole number within the converter's range.
    for (const auto &record : intReader.log().records) {
        ASSERT_EQ(record.size(), 8u);
        for (const std::string &text : record) {
            const int v = valueOfText(text);
            ASSERT_GE(v, 0);
            ASSERT_LE(v, 1023);
        }
    }
    for (const auto &record : mcpReader.log().records) {
        ASSERT_EQ(record.size(), 2u);
        for (const std::string &text : record) {
            const int v = valueOfText(text);
            ASSERT_GE(v, 0);
            ASSERT_LE(v, 4095);
        }
    }
}

std::string caseName(const ::testing::TestParamInfo<FormatCase> &info)
{
    return nameOf(info.param.mode) + (info.param.ending == Ending::CrLf ? "CrLf" : "Lf");
}

INSTANTIATE_TEST_SUITE_P(
    ModesAndLineEndings, CleanRecords,
    ::testing::Values(FormatCase{kInt, Ending::CrLf}, FormatCase{kInt, Ending::Lf},
                      FormatCase{kMcp, Ending::CrLf}, FormatCase{kMcp, Ending::Lf},
                      FormatCase{kBoth, Ending::CrLf}, FormatCase{kBoth, Ending::Lf}),
    caseName);

// The channels' values over many records, as the reader shows them.
std::vector<std::vector<int>> traces(adc::Mode mode, const Modes &boardMode, int records)
{
    const Stream s = generate(makeOptions(boardMode, Ending::CrLf, 9), records);
    ReaderRun reader(mode);
    reader.feed(s.bytes);
    std::vector<std::vector<int>> channels;
    for (const auto &record : reader.log().records) {
        channels.resize(record.size());
        for (std::size_t k = 0; k < record.size(); ++k) {
            channels[k].push_back(valueOfText(record[k]));
        }
    }
    return channels;
}

TEST(Waveforms, EveryChannelMovesSmoothlyAndNoTwoAreAlike)
{
    for (const auto &[mode, boardMode, fullScale] :
         {std::tuple{adc::Mode::Int, kInt, 1023}, std::tuple{adc::Mode::Mcp3201, kMcp, 4095}}) {
        const auto channels = traces(mode, boardMode, 1200);
        ASSERT_FALSE(channels.empty());
        for (std::size_t k = 0; k < channels.size(); ++k) {
            const auto &t = channels[k];
            const auto [lo, hi] = std::minmax_element(t.begin(), t.end());
            // A visible swing, not a flat line and not noise across the whole range.
            EXPECT_GT(*hi - *lo, fullScale / 20) << "channel " << k;
            EXPECT_LT(*hi - *lo, fullScale / 2) << "channel " << k;
            // Mostly small steps from one record to the next: a waveform, not random values.
            int smallSteps = 0;
            for (std::size_t i = 1; i < t.size(); ++i) {
                smallSteps += std::abs(t[i] - t[i - 1]) <= fullScale / 40;
            }
            EXPECT_GT(smallSteps, static_cast<int>(t.size() * 9 / 10)) << "channel " << k;
            for (std::size_t j = 0; j < k; ++j) {
                EXPECT_NE(channels[j], t) << "channels " << j << " and " << k;
                // Different levels too, so that the traces do not sit on one another.
                const double meanJ =
                    std::accumulate(channels[j].begin(), channels[j].end(), 0.0) / t.size();
                const double meanK = std::accumulate(t.begin(), t.end(), 0.0) / t.size();
                EXPECT_GT(std::abs(meanJ - meanK), fullScale / 20.0)
                    << "channels " << j << " and " << k;
            }
        }
    }
}

TEST(Seeds, SameSeedGivesSameBytesAndDifferentSeedsDiffer)
{
    for (const double noise : {0.0, 0.3}) {
        const Stream a = generate(makeOptions(kBoth, Ending::CrLf, 1234, noise), 3000);
        const Stream b = generate(makeOptions(kBoth, Ending::CrLf, 1234, noise), 3000);
        const Stream c = generate(makeOptions(kBoth, Ending::CrLf, 1235, noise), 3000);
        EXPECT_EQ(a.bytes, b.bytes) << "noise " << noise;
        EXPECT_NE(a.bytes, c.bytes) << "noise " << noise;
    }
}

TEST(Noise, ReadersAcceptExactlyTheCountedRecords)
{
    for (const Modes &mode : {kInt, kMcp, kBoth}) {
        for (const Ending ending : {Ending::CrLf, Ending::Lf}) {
            for (const std::uint64_t seed : {1u, 2u, 3u}) {
                const Stream s = generate(makeOptions(mode, ending, seed, 0.3), 6000);
                ReaderRun intReader(adc::Mode::Int);
                ReaderRun mcpReader(adc::Mode::Mcp3201);
                intReader.feed(s.bytes);
                mcpReader.feed(s.bytes);
                const std::string where = "mode " + nameOf(mode) + " ending " +
                                          std::to_string(int(ending)) + " seed " +
                                          std::to_string(seed);
                EXPECT_EQ(intReader.accepted(), s.acceptedInt) << where;
                EXPECT_EQ(mcpReader.accepted(), s.acceptedMcp) << where;

                // About 30% spoilt, of which about a quarter still pass (NUL bytes, odd bytes in a
                // value).
                const std::int64_t records = s.acceptedInt + s.acceptedMcp;
                EXPECT_GT(records, 6000 * 70 / 100) << where;
                EXPECT_LT(records, 6000 * 85 / 100) << where;
            }
        }
    }
}

} // namespace
