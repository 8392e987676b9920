#include "CsvReplay.h"
#include "LineSender.h"
#include "ReaderRun.h"
#include "RecordParser.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <limits>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

using namespace adc;
using adc::test::ReaderRun;

namespace {

const std::string kHeader = "time,seconds,run,mode,count,ch0,ch1,ch2,ch3,ch4,ch5,ch6,ch7\n";

struct Replayed {
    std::string bytes;
    std::vector<double> gaps;
    std::string error;
};

Replayed replay(const std::string &csv)
{
    std::istringstream in(csv);
    CsvReplay source(in, "\r\n");
    Replayed r;
    while (source.hasLine()) {
        source.appendLine(r.bytes);
        r.gaps.push_back(source.recordedGap());
    }
    r.error = source.error();
    return r;
}

// A row of a recording: `seconds` and `run` as given, then the values.
std::string row(const std::string &seconds, int run, const std::string &mode,
                const std::vector<std::string> &values)
{
    std::string text =
        "2026-12-07T08:15:02.123Z," + seconds + "," + std::to_string(run) + "," + mode + ",1";
    for (std::size_t k = 0; k < 8; ++k) {
        text += "," + (k < values.size() ? values[k] : "");
    }
    return text + "\n";
}

double recorded(const std::string &text)
{
    double value = std::numeric_limits<double>::infinity();
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

TEST(CsvReplay, SendsEveryValueSoThatTheProgramReadsItBackExactly)
{
    const std::vector<std::string> values = {
        "512",    "0",     "1.5",  "1000", "inf", "1e+20", "0.0001",   "1.7976931348623157e+308",
        "5e-324", "1e-07", "4095", "0.1",  "inf", "1023",  "2.5e+300", "123456789012345680"};
    std::string csv = kHeader + row("0.052083", 1, "INT", {values.begin(), values.begin() + 8}) +
                      row("0.1", 1, "INT", {values.begin() + 8, values.end()});
    const Replayed r = replay(csv);
    ASSERT_EQ(r.error, "");
    ReaderRun reader(Mode::Int);
    reader.feed(r.bytes);
    ASSERT_EQ(reader.accepted(), 2);
    for (std::size_t i = 0; i < values.size(); ++i) {
        EXPECT_EQ(RecordParser::valueOf(reader.log().records[i / 8][i % 8]), recorded(values[i]))
            << values[i];
    }
    // MCP3201 rows leave the channels it lacks empty.
    const Replayed mcp = replay(kHeader + row("0", 1, "MCP3201", {"4095", "inf"}));
    EXPECT_EQ(mcp.bytes, "MCP 0:4095 1:1E999\r\n");
}

TEST(CsvReplay, KeepsTheRecordedSpacingAndStartsEachRunAfterTheLast)
{
    const std::string csv = kHeader +
                            row("0.05", 1, "INT", {"1", "2", "3", "4", "5", "6", "7", "8"}) +
                            row("0.1", 1, "INT", {"1", "2", "3", "4", "5", "6", "7", "8"}) +
                            row("0.3", 1, "INT", {"1", "2", "3", "4", "5", "6", "7", "8"}) +
                            "\"2026-12-07T08:20:00.000Z\",0.02,2,\"INT\",1,1,2,3,4,5,6,7,8\r\n" +
                            row("0.01", 2, "INT", {"1", "2", "3", "4", "5", "6", "7", "8"});
    const Replayed r = replay(csv);
    EXPECT_EQ(r.error, "");
    const std::vector<double> expected = {0.05, 0.05, 0.2, 0.02, 0.0};
    ASSERT_EQ(r.gaps.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_NEAR(r.gaps[i], expected[i], 1e-9) << "row " << i;
    }
}

TEST(CsvReplay, RefusesWhatIsNotARecordingOfOneMode)
{
    const std::string good = row("0", 1, "INT", {"1", "2", "3", "4", "5", "6", "7", "8"});
    const std::vector<std::pair<std::string, std::string>> bad = {
        {"", "line 1: the file is empty"},
        {"time,seconds\n" + good, "line 1: not the header"},
        {kHeader, "holds no records"},
        {kHeader + good + row("0", 1, "MCP3201", {"1", "2"}),
         "line 3: mode MCP3201 in a recording"},
        {kHeader + good + "1,2,3\n", "line 3: not a row"},
        {kHeader + good + "\"open,0,1,INT,1,1,2,3,4,5,6,7,8\n", "line 3: not a row"},
        {kHeader + row("0", 1, "PIC", {"1"}), "line 2: mode 'PIC'"},
        {kHeader + row("-1", 1, "INT", {"1", "2", "3", "4", "5", "6", "7", "8"}), "seconds"},
        {kHeader + row("0", 1, "INT", {"1", "2", "3", "4", "5", "6", "7", "-8"}), "ch7 '-8'"},
        {kHeader + row("0", 1, "INT", {"1", "2", "3", "nan", "5", "6", "7", "8"}), "ch3"},
        {kHeader + row("0", 1, "INT", {"1", "2", "3", "4", "5", "6", "7"}), "ch7 ''"},
        {kHeader + row("0", 1, "MCP3201", {"1", "2", "3"}), "ch2 holds a value"},
    };
    for (const auto &[csv, error] : bad) {
        const Replayed r = replay(csv);
        EXPECT_NE(r.error.find(error), std::string::npos) << r.error << " for\n" << csv;
    }
    // The rows before a bad one are sent.
    EXPECT_EQ(replay(kHeader + good + "1,2,3\n").bytes, "PIC 0:1 1:2 2:3 3:4 4:5 5:6 6:7 7:8\r\n");
}

TEST(CsvReplay, OtherBoardsRowsBecomeTheirLinesWithTheNamesFirst)
{
    const std::string at = "2026-12-07T08:15:02.123Z,";
    EXPECT_EQ(replay("time,seconds,run,mode,count,t,h\n" + at + "0.5,1,csv,1,-1.5,\n" + at +
                     "0.5,1,csv,2,inf,2\ntime,seconds,run,mode,count,t\n" + at + "1,1,csv,3,4\n")
                  .bytes,
              "t,h\r\n-1.5,nan\r\ninf,2\r\nt\r\n4\r\n");
    EXPECT_EQ(replay("time,seconds,run,mode,count,t,h\n" + at + "0.5,1,keyvalue,1,,1e+300\n").bytes,
              "t:nan h:1e+300\r\n");
}

TEST(CsvReplay, AGapTooLongForTheClockIsWaitedForNotSkipped)
{
    // A tiny --speed or a row at 1e300 seconds: the second row waits, it does not go at once.
    using namespace std::chrono_literals;
    for (const auto &[seconds, speed] : {std::pair{"1", 1e-10}, std::pair{"1e300", 1.0}}) {
        SCOPED_TRACE(seconds);
        std::istringstream in(kHeader + row("0", 1, "MCP3201", {"1", "2"}) +
                              row(seconds, 1, "MCP3201", {"3", "4"}));
        CsvReplay source(in, "\n");
        int line[2];
        ASSERT_EQ(::pipe2(line, O_NONBLOCK), 0);
        SimulatorOptions options;
        options.speed = speed;
        LineSender sender(line[1], options);
        std::atomic<bool> stop{false};
        std::thread board([&] { sender.run(source, stop); });
        std::this_thread::sleep_for(300ms);
        stop = true;
        board.join();
        char sent[256];
        const ssize_t n = ::read(line[0], sent, sizeof sent);
        EXPECT_EQ(std::string(sent, static_cast<std::size_t>(std::max<ssize_t>(n, 0))),
                  "MCP 0:1 1:2\n");
        ::close(line[0]);
        ::close(line[1]);
    }
}

} // namespace
