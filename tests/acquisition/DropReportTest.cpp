#include "DropReport.h"

#include <gtest/gtest.h>

#include <string>

using namespace adc;

namespace {

// Ten dropped lines a second are told with their reasons, the rest counted once the second is
// over; lines that left the wire log unread are counted apart.
TEST(DropReport, TellsTenDroppedLinesASecondAndCountsTheRest)
{
    WireLog wire;
    DropReport report;
    const DropReport::Clock::time_point start{std::chrono::seconds(100)};
    std::string out;
    wire.add("1,2", LineVerdict::taken());
    wire.add("1,x\t", LineVerdict::dropped(DropReason::NotANumber));
    report.collect(wire, start, out);
    EXPECT_EQ(out, "dropped (not a number): 1,x\\x09\n");

    for (int i = 0; i < 12; ++i) {
        wire.add("?", LineVerdict::dropped(DropReason::TooFewFields));
    }
    out.clear();
    report.collect(wire, start + std::chrono::milliseconds(500), out);
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 9);
    out.clear();
    for (std::size_t i = 0; i < WireLog::kCapacity + 5; ++i) {
        wire.add("1", LineVerdict::taken());
    }
    report.collect(wire, start + std::chrono::milliseconds(1000), out);
    EXPECT_EQ(out, "3 more lines dropped, not shown\n");
    out.clear();
    report.finish(out);
    EXPECT_EQ(out, "5 lines went by too fast to be looked at\n");
}

} // namespace
