#include "AcquisitionRun.h"
#include "BoardLines.h"
#include "FakeSerialControl.h"
#include "RecordingDisplay.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace adc;
using adc::test::FakeSerialControl;
using adc::test::kCrLf;
using adc::test::picRecord;
using adc::test::RecordingDisplay;

namespace {

struct Bench {
    FakeSerialControl port;
    RecordingDisplay display;
    AcquisitionRun run;
    explicit Bench(Mode mode) : run(mode, port, display) {}

    void arrive(const std::string &characters)
    {
        port.waiting += characters;
        while (run.service()) {
        }
    }
};

} // namespace

TEST(AcquisitionRun, StartRunsTheSequenceInOrderThenMarksRunning)
{
    Bench b(Mode::Int);
    b.port.waiting = "PIC 0:1 1:1 2:1 3:1 4:1 5:1 6:1 7:1\n"; // arrived before the start
    ASSERT_TRUE(b.run.start());
    EXPECT_EQ(b.port.calls, (std::vector<std::string>{"Settings=9600,N,8,1", "PortOpen=true",
                                                      "RTSEnable=true", "InBufferCount=0"}));
    EXPECT_EQ(b.display.log, std::vector<std::string>{"running"});
    EXPECT_TRUE(b.run.running());
    // What arrived before the start was discarded.
    EXPECT_FALSE(b.run.service());
    EXPECT_EQ(b.run.count(), 0);
}

TEST(AcquisitionRun, ARefusedStartEndsTheRunWithTheReasonAndNoGreen)
{
    for (const char *refused : {"PortOpen", "Settings", "RTSEnable", "InBufferCount"}) {
        Bench b(Mode::Mcp3201);
        b.port.refuse = refused;
        EXPECT_FALSE(b.run.start()) << refused;
        EXPECT_FALSE(b.run.running());
        EXPECT_FALSE(b.port.open) << "the port is left closed after " << refused;
        ASSERT_FALSE(b.display.log.empty());
        EXPECT_EQ(b.display.log.back(), "ended Cannot open /dev/ttyS0: no such device.");
        EXPECT_EQ(std::count(b.display.log.begin(), b.display.log.end(), "running"), 0);
    }
}

TEST(AcquisitionRun, EachRecordShowsTextsThenCountThenStepsInChannelOrder)
{
    Bench b(Mode::Mcp3201);
    ASSERT_TRUE(b.run.start());
    b.display.log.clear();
    b.arrive("MCP 0:100 1:4095\r\nMCP 0:200 1:0\r\n");
    EXPECT_EQ(b.display.log,
              (std::vector<std::string>{"text 0 0100", "text 1 04095\r", "count 1",
                                        "step 0 3995,3995", "step 0 0,0", // first: level
                                        "text 0 0200", "text 1 00\r", "count 2", "step 1 3995,3895",
                                        "step 1 0,4095"}));
    EXPECT_EQ(b.display.steps[0].colour, 255u);      // MCP channel 0: red
    EXPECT_EQ(b.display.steps[1].colour, 16711680u); // MCP channel 1: blue
    // The boxes the mode does not use keep what they had.
    for (int k = 2; k < 8; ++k) {
        EXPECT_EQ(b.display.boxes[k], "0");
    }
}

TEST(AcquisitionRun, TheThirdRecordDrawsFromTheSecondsOrdinates)
{
    Bench b(Mode::Int);
    ASSERT_TRUE(b.run.start());
    b.arrive(picRecord({500, 0, 0, 0, 0, 0, 0, 0}, kCrLf) +
             picRecord({0, 0, 0, 0, 0, 0, 0, 0}, kCrLf) +
             picRecord({1023, 0, 0, 0, 0, 0, 0, 0}, kCrLf));
    ASSERT_EQ(b.display.steps.size(), 24u);
    const Step third{2, 4047, 978, 12632256};
    EXPECT_EQ(b.display.steps[16], third);
    EXPECT_EQ(b.display.count, "3");
    for (int k = 0; k < 8; ++k) {
        EXPECT_EQ(b.display.steps[8 + k].colour, channelColour(Mode::Int, k));
    }
}

TEST(AcquisitionRun, WrongTagsAndMalformedRecordsChangeNothing)
{
    Bench b(Mode::Int);
    ASSERT_TRUE(b.run.start());
    b.display.log.clear();
    b.arrive("pic 0:1 1:1 2:1 3:1 4:1 5:1 6:1 7:1\r\n"   // lower case
             "MCP 0:1 1:2\r\n"                           // the other mode's record
             "PIC 0:1 1:2 2:3\r\n"                       // too few separators
             "PIX 0:1 1:1 2:1 3:1 4:1 5:1 6:1 7:1\r\n"); // wrong tag
    EXPECT_TRUE(b.display.log.empty());
    EXPECT_EQ(b.run.count(), 0);
    EXPECT_EQ(b.run.droppedRecords(), 2) << "the wrong tag and the fields, not the MCP record";
    EXPECT_EQ(b.run.line().otherModeRecords(), 1);
    b.arrive(picRecord({7, 0, 0, 0, 0, 0, 0, 0}, kCrLf));
    EXPECT_EQ(b.display.count, "1");
    EXPECT_EQ(b.display.steps.front().record, 0); // the first accepted record starts the chart
}

TEST(AcquisitionRun, TheCountGoesOnPast32767)
{
    Bench b(Mode::Mcp3201);
    ASSERT_TRUE(b.run.start());
    std::string many;
    for (int i = 0; i < 40000; ++i) {
        many += "MCP 0:1 1:2\r\n";
    }
    b.arrive(many);
    EXPECT_EQ(b.run.count(), 40000);
    EXPECT_EQ(b.display.count, "40000");
    EXPECT_EQ(b.display.steps.back().record, 39999);
}

TEST(AcquisitionRun, ServiceWorksInBoundedTurns)
{
    Bench b(Mode::Mcp3201);
    ASSERT_TRUE(b.run.start());
    std::string flood;
    while (flood.size() < 1'000'000) {
        flood += "MCP 0:1 1:2\r\n";
    }
    b.port.waiting = flood;
    int turns = 1;
    while (b.run.service(64 * 1024)) {
        ++turns;
        EXPECT_LE(b.port.waiting.size() + 64 * 1024 * turns, flood.size() + 64 * 1024);
    }
    EXPECT_EQ(turns, static_cast<int>((flood.size() + 65535) / 65536));
    EXPECT_EQ(b.run.count(), static_cast<std::int64_t>(flood.size() / 13));
    // A record split across turns is put together.
    EXPECT_FALSE(b.run.service());
}

TEST(AcquisitionRun, AFailureClosesThePortAndStopsTheRun)
{
    Bench b(Mode::Int);
    ASSERT_TRUE(b.run.start());
    b.arrive(picRecord({1, 0, 0, 0, 0, 0, 0, 0}, kCrLf));
    b.run.fail("The connection to /dev/ttyUSB0 was lost.");
    EXPECT_FALSE(b.run.running());
    EXPECT_FALSE(b.port.open);
    EXPECT_EQ(b.display.log.back(), "ended The connection to /dev/ttyUSB0 was lost.");
    // Nothing more is worked on after the end.
    b.port.waiting = picRecord({2, 0, 0, 0, 0, 0, 0, 0}, kCrLf);
    EXPECT_FALSE(b.run.service());
    EXPECT_EQ(b.run.count(), 1);
}

TEST(AcquisitionRun, StopClosesThePortWithoutAMessage)
{
    Bench b(Mode::Int);
    ASSERT_TRUE(b.run.start());
    b.run.stop();
    EXPECT_FALSE(b.port.open);
    EXPECT_EQ(b.display.log, std::vector<std::string>{"running"});
}

// A device lost and found again: the same run goes on, without the record cut by the loss.
TEST(AcquisitionRun, ASuspendedRunResumesWhereItWasAndDropsTheCutRecord)
{
    Bench b(Mode::Mcp3201);
    ASSERT_TRUE(b.run.start());
    b.arrive("MCP 0:100 1:4095\r\nMCP 0:200 1:0\r\nMCP 0:3");
    ASSERT_EQ(b.run.count(), 2);
    b.display.log.clear();
    b.run.suspend();
    EXPECT_TRUE(b.run.suspended());
    EXPECT_TRUE(b.run.running());
    EXPECT_FALSE(b.port.open);
    EXPECT_EQ(b.display.log, std::vector<std::string>{"waiting"});
    // Nothing is read while the device is away.
    b.port.waiting = "MCP 0:1 1:1\n";
    EXPECT_FALSE(b.run.service());
    EXPECT_EQ(b.run.count(), 2);

    // The device is still missing: the run keeps waiting, with the port closed.
    b.port.refuse = "PortOpen";
    EXPECT_FALSE(b.run.resume());
    EXPECT_TRUE(b.run.suspended());
    EXPECT_FALSE(b.port.open);
    b.port.refuse.clear();
    ASSERT_TRUE(b.run.resume());
    EXPECT_FALSE(b.run.suspended());
    EXPECT_TRUE(b.port.open);
    EXPECT_EQ(b.display.log, (std::vector<std::string>{"waiting", "running"}));
    b.display.log.clear();
    // The rest of the cut record, then a whole one: one record, counted on from 2, drawn on from
    // where the chart was and from the last values.
    b.arrive("00 1:7\r\nMCP 0:300 1:0\r\n");
    EXPECT_EQ(b.display.log, (std::vector<std::string>{"text 0 0300", "text 1 00\r", "count 3",
                                                       "step 2 3895,3795", "step 2 4095,4095"}));
    // A Start afresh counts from one again.
    ASSERT_TRUE(b.run.start());
    b.arrive("MCP 0:1 1:1\n");
    EXPECT_EQ(b.run.count(), 1);
}

TEST(AcquisitionRun, AStartEmptiesTheBoxesItsModeDoesNotUse)
{
    FakeSerialControl port;
    RecordingDisplay display;
    AcquisitionRun intRun(Mode::Int, port, display);
    ASSERT_TRUE(intRun.start());
    port.waiting = picRecord({11, 12, 13, 14, 15, 16, 17, 18}, kCrLf);
    while (intRun.service()) {
    }
    intRun.stop();
    ASSERT_EQ(intRun.count(), 1);
    // MCP3201 writes boxes 0 and 1 only: the INT values in 2-7 must not look live.
    AcquisitionRun mcpRun(Mode::Mcp3201, port, display);
    ASSERT_TRUE(mcpRun.start());
    for (int k = 2; k < kMaxChannels; ++k) {
        EXPECT_EQ(display.boxes[k], "0") << "box " << k;
    }
    EXPECT_NE(display.boxes[0], "0") << "a box of the mode waits for its first record";
}
