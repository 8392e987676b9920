#include "RecordingReader.h"
#include "CsvRecorder.h"
#include "ManualClock.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <sstream>
#include <unistd.h>

using namespace adc;

namespace {

// Values of every shape the parser yields: whole, fractional, tiny, huge and saturated.
double randomValue(std::mt19937_64 &random)
{
    switch (random() % 5) {
    case 0:
        return static_cast<double>(random() % 4096);
    case 1:
        return std::ldexp(static_cast<double>(random() % (1ull << 53)),
                          -static_cast<int>(random() % 60));
    case 2:
        return std::ldexp(static_cast<double>(random() % (1ull << 53)),
                          static_cast<int>(random() % 960));
    case 3:
        return std::numeric_limits<double>::infinity();
    default:
        return std::numeric_limits<double>::denorm_min() * static_cast<double>(random() % 100);
    }
}

// Values of a few decimals take a quicker way to the same shortest text as any other value's.
TEST(RecordingFormat, AValueOfAFewDecimalsIsWrittenAsItsShortestText)
{
    std::mt19937_64 random(11);
    for (int i = 0; i < 200000; ++i) {
        const double tens[] = {1, 10, 100, 1e3, 1e4, 1e5, 1e6, 1e7};
        const auto whole = static_cast<double>(random() % 2'000'000'000'000ull);
        const double value =
            (random() % 4 == 0 ? std::ldexp(whole, -static_cast<int>(random() % 40))
                               : whole / tens[random() % 8]) *
            (random() % 2 == 0 ? 1 : -1);
        char written[RecordingFormat::kMaxValueLength];
        char shortest[RecordingFormat::kMaxValueLength];
        const std::string_view ours(written, RecordingFormat::writeValue(written, value) - written);
        const std::string_view theirs(
            shortest, std::to_chars(shortest, shortest + sizeof shortest, value).ptr - shortest);
        ASSERT_EQ(ours, value == 0 ? std::string_view("0") : theirs) << value;
    }
}

TEST(RecordingReader, ReadsBackEveryRowTheRecorderWroteExactly)
{
    const auto path = std::filesystem::temp_directory_path() /
                      ("adc-reader-" + std::to_string(::getpid()) + ".csv");
    std::filesystem::remove(path);
    std::mt19937_64 random(7);
    std::vector<AcceptedRecord> records;
    std::vector<std::array<double, kMaxChannels>> values;
    {
        CsvRecorder recorder;
        test::ManualClock clock;
        ASSERT_TRUE(recorder.open(path.string(), false));
        // Two runs, the second in the other mode; enough rows that lines straddle the reader's
        // blocks.
        for (int run = 0; run < 2; ++run) {
            const Mode mode = run == 0 ? Mode::Int : Mode::Mcp3201;
            const RunStart start = clock.startOf(mode, run + 1);
            recorder.runStarted(start);
            for (int i = 0; i < 15000; ++i) {
                std::array<double, kMaxChannels> v{};
                for (int k = 0; k < modeInfo(mode).channelCount; ++k) {
                    v[static_cast<std::size_t>(k)] = randomValue(random);
                }
                values.push_back(v);
                const std::span<const double> shown(
                    values.back().data(), static_cast<std::size_t>(modeInfo(mode).channelCount));
                clock.advance(std::chrono::microseconds(1700));
                recorder.charactersTaken(clock.stampIn(start));
                recorder.recordAccepted({mode, i + 1, shown});
            }
        }
        recorder.close();
    }
    ASSERT_GT(std::filesystem::file_size(path), 2u << 20);

    std::ifstream in(path, std::ios::binary);
    RecordingReader reader(in);
    RecordingRow row;
    std::size_t n = 0;
    double lastSeconds = 0.0;
    while (reader.next(row)) {
        ASSERT_LT(n, values.size());
        const std::int64_t run = n < 15000 ? 1 : 2;
        EXPECT_EQ(row.run, run);
        EXPECT_EQ(row.mode, run == 1 ? Mode::Int : Mode::Mcp3201);
        EXPECT_EQ(row.count, static_cast<std::int64_t>(n % 15000) + 1);
        EXPECT_EQ(row.time.size(), 24u);
        EXPECT_TRUE(std::equal(values[n].begin(), values[n].end(), row.values.begin()))
            << "row " << n;
        EXPECT_TRUE(n == 15000 || row.seconds >= lastSeconds);
        lastSeconds = row.seconds;
        ++n;
    }
    EXPECT_EQ(reader.error(), "");
    EXPECT_EQ(n, values.size());
    EXPECT_EQ(reader.bytesRead(), std::filesystem::file_size(path));
    std::filesystem::remove(path);
}

TEST(RecordingReader, ABadRowEndsTheReadingAndNamesItsLine)
{
    const std::string good = "2026-12-07T08:15:02.123Z,0.5,1,MCP3201,1,4095,inf,,,,,,\r\n";
    std::istringstream in(std::string(RecordingFormat::kHeaderLine) + good + good +
                          "2026-12-07T08:15:02.123Z,0.5,1,MCP3201,x,1,2,,,,,,\n" + good);
    RecordingReader reader(in);
    RecordingRow row;
    EXPECT_TRUE(reader.next(row));
    EXPECT_EQ(row.values[1], std::numeric_limits<double>::infinity());
    EXPECT_TRUE(reader.next(row));
    EXPECT_FALSE(reader.next(row));
    EXPECT_EQ(reader.error(), "line 4: count 'x' is not a whole number");
    EXPECT_FALSE(reader.next(row));
}

// Runs of other boards' lines: a CSV run, then a name:value run whose third name comes later,
// then a board run appended; each set of columns has its header, and every row reads back.
TEST(RecordingReader, OtherBoardsRunsHaveTheirOwnHeadersAndReadBackWithTheirNames)
{
    const auto path = std::filesystem::temp_directory_path() /
                      ("adc-text-" + std::to_string(::getpid()) + ".csv");
    std::filesystem::remove(path);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<std::string> csvNames{"time", "a,b", ""};
    const std::vector<std::string> two{"temp", "hum"};
    const std::vector<std::string> three{"temp", "hum", "lux"};
    test::ManualClock clock;
    auto record = [&](CsvRecorder &recorder, Mode mode, std::int64_t run,
                      const std::vector<std::vector<std::string>> &namings,
                      const std::vector<std::vector<double>> &rows) {
        const RunStart start = clock.startOf(mode, run);
        recorder.runStarted(start);
        for (std::size_t i = 0; i < rows.size(); ++i) {
            if (i < namings.size() && !namings[i].empty()) {
                recorder.channelsNamed(namings[i]);
            }
            recorder.charactersTaken(clock.stampIn(start));
            recorder.recordAccepted({mode, static_cast<std::int64_t>(i + 1), rows[i]});
        }
    };
    {
        CsvRecorder recorder;
        recorder.setFormat(Format::Csv);
        ASSERT_TRUE(recorder.open(path.string(), false));
        record(recorder, Mode::Csv, 1, {csvNames}, {{-1.5, 1e300, nan}});
        record(recorder, Mode::KeyValue, 2, {two, {}, three}, {{1, 2}, {nan, 3}, {4, nan, 5}});
        recorder.close();
        ASSERT_TRUE(recorder.open(path.string(), true));
        record(recorder, Mode::Mcp3201, 3, {{"ch0", "ch1"}}, {{7, 8}});
        recorder.close();
    }
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    const std::string rows = text.str();
    EXPECT_EQ(rows.substr(0, rows.find('\n')), "time,seconds,run,mode,count,time_2,a_b,ch2");
    EXPECT_NE(rows.find(",1,csv,1,-1.5,1e+300,\n"), std::string::npos) << rows;
    EXPECT_NE(rows.find("\ntime,seconds,run,mode,count,temp,hum,lux\n"), std::string::npos);
    EXPECT_NE(rows.find(RecordingFormat::kHeaderLine), std::string::npos);

    std::ifstream in(path);
    RecordingReader reader(in);
    RecordingRow row;
    ASSERT_TRUE(reader.next(row)) << reader.error();
    EXPECT_EQ(row.mode, Mode::Csv);
    EXPECT_EQ(std::vector<std::string>(reader.names().begin(), reader.names().end()),
              (std::vector<std::string>{"time_2", "a_b", "ch2"}));
    EXPECT_TRUE(std::isnan(row.values[2]));
    ASSERT_TRUE(reader.next(row) && reader.next(row) && reader.next(row)) << reader.error();
    EXPECT_EQ(reader.names()[2], "lux");
    EXPECT_EQ(row.values[2], 5);
    ASSERT_TRUE(reader.next(row)) << reader.error();
    EXPECT_EQ(row.mode, Mode::Mcp3201);
    EXPECT_EQ(row.values[1], 8);
    EXPECT_FALSE(reader.next(row));
    EXPECT_EQ(reader.error(), "");
    std::filesystem::remove(path);
}

} // namespace
