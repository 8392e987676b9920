#include "RecordingLoader.h"
#include "RecordingFormat.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace adc;

namespace {

TEST(RecordingLoader, RunsThatTakeTurnsAreRunsOfTheirOwn)
{
    // Runs 1 and 2 taking turns row by row; then run 1 again from its start: a run of its own.
    std::ostringstream file;
    file << RecordingFormat::kHeaderLine;
    for (int i = 0; i < 10; ++i) {
        for (int run = 1; run <= 2; ++run) {
            file << "2026-12-07T00:00:00.000Z,0." << i << "00000," << run << ",MCP3201," << i + 1
                 << "," << run * 100 + i << ",0,,,,,,\n";
        }
    }
    file << "2026-12-07T00:00:09.000Z,0.000000,1,MCP3201,1,7,7,,,,,,\n";
    std::istringstream in(file.str());
    RecordingLoader loader(100);
    ASSERT_TRUE(loader.load(in)) << loader.error();
    ASSERT_EQ(loader.runs().size(), 3u);
    for (int run = 1; run <= 2; ++run) {
        const HistoryStore &h = *loader.runs()[static_cast<std::size_t>(run - 1)].history;
        EXPECT_EQ(h.run(), run);
        ASSERT_EQ(h.end(), 10);
        EXPECT_EQ(h.value(9, 0), run * 100 + 9);
        EXPECT_EQ(h.micros(9), 900'000);
    }
    EXPECT_EQ(loader.runs()[2].rows, 1);
}

TEST(RecordingLoader, OtherBoardsRunsKeepTheirHeadersNames)
{
    std::istringstream in("time,seconds,run,mode,count,temp,hum\n"
                          "2026-12-07T00:00:00.000Z,0.000000,1,keyvalue,1,20.5,\n"
                          "time,seconds,run,mode,count,temp,hum,lux\n"
                          "2026-12-07T00:00:00.100Z,0.100000,1,keyvalue,2,21,40,7\n"
                          "2026-12-07T00:00:00.200Z,0.200000,1,keyvalue,3,22,41,8\n");
    RecordingLoader loader(100);
    ASSERT_TRUE(loader.load(in)) << loader.error();
    ASSERT_EQ(loader.runs().size(), 1u);
    const HistoryStore &h = *loader.runs()[0].history;
    EXPECT_EQ(h.names(), (std::vector<std::string>{"temp", "hum", "lux"}));
    ASSERT_EQ(h.end(), 2);
    EXPECT_EQ(h.value(1, 2), 8);
}

} // namespace
