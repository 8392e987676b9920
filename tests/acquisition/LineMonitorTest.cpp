#include "AcquisitionRun.h"
#include "FakeSerialControl.h"
#include "ManualClock.h"
#include "RecordingDisplay.h"

#include <gtest/gtest.h>

#include <string>

using namespace adc;
using namespace std::chrono_literals;
using Hint = LineMonitor::Hint;
using Drop = LineMonitor::Drop;

namespace {

const std::string kPic = "PIC 0:1 1:2 2:3 3:4 4:5 5:6 6:7 7:8\r\n";
const std::string kMcp = "MCP 0:100 1:200\r\n";

/// A started run whose line is watched on a clock of the test's own.
struct Watch {
    test::FakeSerialControl port;
    test::RecordingDisplay display;
    test::ManualClock clock;
    AcquisitionRun run;

    explicit Watch(Mode mode) : run(mode, port, display)
    {
        run.setClock(clock);
        run.start();
    }
    /// One second of the line: `bytes` arrive at its end in reads of `piece` characters.
    void second(const std::string &bytes, std::size_t piece = 4096)
    {
        clock.advance(1s);
        for (std::size_t i = 0; i < bytes.size(); i += piece) {
            run.process(std::string_view(bytes).substr(i, piece));
        }
    }
    LineMonitor::State state() const { return run.lineNow(); }
    std::string hint() const { return std::string(run.line().hintText(state().hint)); }
};

std::string times(const std::string &s, int n)
{
    std::string all;
    for (int i = 0; i < n; ++i) {
        all += s;
    }
    return all;
}

} // namespace

TEST(LineMonitor, EachQuietLineGetsTheHintOfItsCause)
{
    const struct {
        Mode mode;
        std::string perSecond;
        Hint hint;
        const char *text;
    } cases[] = {
        {Mode::Int, times(kMcp, 20), Hint::OtherMode,
         "lines with the tag MCP arrive: is the board in MCP3201 mode?"},
        {Mode::Mcp3201, times(kPic, 20), Hint::OtherMode,
         "lines with the tag PIC arrive: is the board in INT mode?"},
        // A wrong speed: bytes of every kind but the line feed.
        {Mode::Int, times("\xff\x80P\xe0\x1c\x0d~", 40), Hint::NoLineEnds,
         "characters arrive but no line ends: wrong speed?"},
        {Mode::Int, times("$GPGGA,1,2,3*47\r\n", 30), Hint::NoRecords,
         "lines arrive but none is a record: wrong speed, or another device on this port?"},
        {Mode::Mcp3201, "", Hint::Silence,
         "nothing arrives: is the board on this port and powered?"},
    };
    for (const auto &c : cases) {
        // Whole reads, and one character per read (tags cut between reads).
        for (std::size_t piece : {std::size_t(4096), std::size_t(1)}) {
            SCOPED_TRACE(c.text + std::string(" piece ") + std::to_string(piece));
            Watch w(c.mode);
            w.second(c.perSecond, piece);
            w.second(c.perSecond, piece);
            EXPECT_EQ(w.state().hint, Hint::None) << "too early at 2 s";
            w.second(c.perSecond, piece);
            EXPECT_EQ(w.state().hint, c.hint);
            EXPECT_EQ(w.hint(), c.text);
            EXPECT_EQ(w.run.count(), 0);
        }
    }
}

TEST(LineMonitor, TheHintGoesAwayWhenGoodRecordsFlow)
{
    Watch w(Mode::Mcp3201);
    for (int s = 0; s < 4; ++s) {
        w.second(times(kPic, 10));
    }
    ASSERT_EQ(w.state().hint, Hint::OtherMode);
    // The board is switched to the right mode; the other mode's lines still come in between.
    w.second(times(kPic + kMcp, 10));
    EXPECT_EQ(w.state().hint, Hint::None);
    EXPECT_EQ(w.hint(), "");
    EXPECT_EQ(w.run.count(), 10);
}

TEST(LineMonitor, RecordsPerSecondCoverTheLastSeconds)
{
    Watch w(Mode::Int);
    EXPECT_EQ(w.state().recordsPerSecond, 0.0);
    w.second(times(kPic, 40));
    EXPECT_DOUBLE_EQ(w.state().recordsPerSecond, 40.0);
    for (int s = 0; s < 6; ++s) {
        w.second(times(kPic, 10));
    }
    // The first second's 40 have left the window.
    EXPECT_DOUBLE_EQ(w.state().recordsPerSecond, 10.0);
    w.second("");
    EXPECT_DOUBLE_EQ(w.state().recordsPerSecond, 8.0);
}

TEST(LineMonitor, DropsAreCountedByReasonAndTheOtherModesRecordsApart)
{
    Watch w(Mode::Int);
    const std::string tooLong = "PIC " + std::string(40000, '1') + "\n";
    w.second("PIX 0:1\n" + kMcp + "PIC 0:1 1:2\n" + tooLong + tooLong + kPic);
    const LineMonitor &line = w.run.line();
    EXPECT_EQ(line.drops(Drop::WrongTag), 1);
    EXPECT_EQ(line.drops(Drop::TooFewFields), 1);
    EXPECT_EQ(line.drops(Drop::TooLong), 2);
    EXPECT_EQ(w.run.droppedRecords(), 4);
    EXPECT_EQ(line.otherModeRecords(), 1);
    EXPECT_EQ(w.run.count(), 1);
    EXPECT_EQ(line.summary(" | ", w.state()),
              "1.0 records per second | dropped since Start: 1 wrong tag, "
              "1 too few fields, 2 too long | 1 MCP record, not this mode");
    for (int s = 0; s < 6; ++s) {
        w.second(times(kMcp, 3));
    }
    EXPECT_EQ(line.summary("\n", w.state()),
              "0.0 records per second\ndropped since Start: 1 wrong tag, 1 too few fields, "
              "2 too long\n19 MCP records, not this mode\nlines with the tag MCP arrive: is the "
              "board in MCP3201 mode?");
    // The MCP3201 mode never frames an INT record (no M in it), yet counts it apart too.
    Watch mcp(Mode::Mcp3201);
    mcp.second(times(kPic, 5) + kMcp);
    EXPECT_EQ(mcp.run.droppedRecords(), 0);
    EXPECT_EQ(mcp.run.line().otherModeText(), "5 PIC records, not this mode");
    // A new start begins the count again.
    w.run.start();
    EXPECT_EQ(line.drops(Drop::WrongTag), 0);
    EXPECT_EQ(line.drops(Drop::TooLong), 0);
    EXPECT_EQ(w.state().hint, Hint::None);
}
