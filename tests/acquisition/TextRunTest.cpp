#include "AcquisitionRun.h"
#include "BoardLines.h"
#include "FakeSerialControl.h"
#include "RecordingDisplay.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using namespace adc;
using adc::test::FakeSerialControl;
using adc::test::RecordingDisplay;

namespace {

/// Writes down what the run tells, one text per call: "names a,b", "record 1: 1,2".
class EventLog final : public RecordObserver {
public:
    std::vector<std::string> events;

    void runStarted(const RunStart &) override { events.push_back("start"); }
    void channelsNamed(std::span<const std::string> names) override
    {
        std::string text = "names ";
        for (const std::string &name : names) {
            text += name + (&name == &names.back() ? "" : ",");
        }
        events.push_back(text);
    }
    void recordAccepted(const AcceptedRecord &record) override
    {
        std::string text = "record " + std::to_string(record.count) + ":";
        for (const double v : record.values) {
            text += " " + (std::isnan(v) ? std::string("-") : std::to_string(std::lround(v)));
        }
        events.push_back(text);
    }
};

struct Bench {
    FakeSerialControl port;
    RecordingDisplay display;
    AcquisitionRun run;
    EventLog log;
    WireLog wire;
    explicit Bench(Mode mode, int channels = 0) : run(mode, port, display)
    {
        run.setObserver(&log);
        run.setWireLog(&wire);
        run.setChannelCount(channels);
        EXPECT_TRUE(run.start());
    }
    void arrive(const std::string &characters)
    {
        port.waiting += characters;
        while (run.service()) {
        }
    }
    std::vector<std::string> verdicts() const
    {
        std::vector<std::string> texts;
        for (std::size_t k = 0; k < wire.size(); ++k) {
            texts.push_back(std::string(wire.entry(k).verdict.text()) + " " +
                            std::string(wire.entry(k).text));
        }
        return texts;
    }
};

} // namespace

TEST(TextRun, CsvLinesAreCountedNamedAndDroppedWithTheirReasons)
{
    Bench b(Mode::Csv);
    // The first line may have begun before the port opened; the names come next.
    b.arrive("3,4\nt,p\r\n1,2\n1,2,3\n1,x\n" + std::string(40000, '1') + "\n5,6\n");
    EXPECT_EQ(b.log.events,
              (std::vector<std::string>{"start", "names t,p", "record 1: 1 2", "record 2: 5 6"}));
    EXPECT_EQ(b.run.count(), 2);
    EXPECT_EQ(b.display.log.back(), "count 2");
    EXPECT_EQ(b.run.line().drops(DropReason::OtherCount), 1);
    EXPECT_EQ(b.run.line().drops(DropReason::NotANumber), 1);
    EXPECT_EQ(b.run.line().drops(DropReason::TooLong), 1);
    EXPECT_EQ(b.run.droppedRecords(), 3);
    ASSERT_EQ(b.wire.size(), 7u);
    EXPECT_EQ(b.verdicts()[0], "skipped (first line) 3,4");
    EXPECT_EQ(b.verdicts()[1], "names t,p");
    EXPECT_EQ(b.verdicts()[3], "another count of values 1,2,3");
    EXPECT_EQ(b.wire.entry(5).length, 40000u);
    EXPECT_NE(b.run.line().summary("; ", {}).find("1 not a number, 1 another count"),
              std::string::npos);
    // A reconnection cuts the line going: the next one is not taken for values.
    b.run.suspend();
    ASSERT_TRUE(b.run.resume());
    b.arrive("7,8\n9,10\n");
    EXPECT_EQ(b.log.events.back(), "record 3: 9 10");
}

TEST(TextRun, AGivenChannelCountAndNewKeyValueNamesAreToldBeforeTheirRecords)
{
    Bench csv(Mode::Csv, 3);
    csv.arrive("\n1,2\n1,2,3\n");
    EXPECT_EQ(csv.log.events,
              (std::vector<std::string>{"start", "names ch0,ch1,ch2", "record 1: 1 2 3"}));

    Bench kv(Mode::KeyValue);
    kv.arrive("hum:0\ntemp:23 hum=40\nhum:41\nhum:42, lux:7\nnothing here\n");
    EXPECT_EQ(kv.log.events, (std::vector<std::string>{"start", "names temp,hum", "record 1: 23 40",
                                                       "record 2: - 41", "names temp,hum,lux",
                                                       "record 3: - 42 7"}));
    EXPECT_EQ(kv.run.line().drops(DropReason::TooFewFields), 1);
    // A fresh Start forgets the names.
    ASSERT_TRUE(kv.run.start());
    kv.arrive("\nlux:1\n");
    EXPECT_EQ(kv.log.events.back(), "record 1: 1");
    EXPECT_EQ(kv.log.events[kv.log.events.size() - 2], "names lux");
}

TEST(TextRun, TheBoardsLinesGoToTheWireLogWithWhatBecameOfThem)
{
    Bench b(Mode::Mcp3201);
    b.arrive("MCP 0:1 1:2\r\nnoise\nMCP 0:1\nPIC 0:1 1:1 2:1 3:1 4:1 5:1 6:1 7:1\nMXY 0:1 1:2\n" +
             std::string(40000, 'M') + "\nxxMCP 0:3 1:4\n");
    EXPECT_EQ(b.log.events, (std::vector<std::string>{"start", "names ch0,ch1", "record 1: 1 2",
                                                      "record 2: 3 4"}));
    EXPECT_EQ(b.verdicts()[0], "taken MCP 0:1 1:2");
    EXPECT_EQ(b.verdicts()[1], "wrong tag noise");
    EXPECT_EQ(b.verdicts()[2], "too few fields MCP 0:1");
    EXPECT_EQ(b.verdicts()[3], "wrong tag PIC 0:1 1:1 2:1 3:1 4:1 5:1 6:1 7:1");
    EXPECT_EQ(b.verdicts()[4], "wrong tag MXY 0:1 1:2");
    EXPECT_EQ(b.wire.entry(5).verdict, LineVerdict::dropped(DropReason::TooLong));
    EXPECT_EQ(b.verdicts()[6], "taken xxMCP 0:3 1:4");
    // The board's own counts stay as they were: the other mode's records and lines without a
    // record are no drops.
    EXPECT_EQ(b.run.line().drops(DropReason::WrongTag), 1);
    EXPECT_EQ(b.run.line().drops(DropReason::TooFewFields), 1);
    EXPECT_EQ(b.run.line().drops(DropReason::TooLong), 1);
    EXPECT_EQ(b.run.line().summary("; ", {}).substr(0, 86),
              "0.0 records per second; dropped since Start: 1 wrong tag, 1 too few fields, 1 too "
              "long");
}
