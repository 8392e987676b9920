#include "CsvRecorder.h"
#include "AcquisitionRun.h"
#include "FakeSerialControl.h"
#include "FileSizeLimit.h"
#include "ManualClock.h"
#include "RecordingDisplay.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using namespace adc;
using namespace std::chrono_literals;

namespace {

std::string contents(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

long lineCount(const std::filesystem::path &path)
{
    const std::string text = contents(path);
    return std::count(text.begin(), text.end(), '\n');
}

void write(const std::filesystem::path &path, std::string_view text)
{
    std::ofstream(path, std::ios::binary) << text;
}

// A recorder on a fresh file in its own folder, fed by runs as the window's are, on a clock
// that starts at 2026-12-07T08:15:02.123Z.
struct Recording : ::testing::Test {
    std::filesystem::path dir;
    std::filesystem::path file;
    test::FakeSerialControl port;
    test::RecordingDisplay display;
    test::ManualClock clock;
    CsvRecorder recorder;
    /// The number of the last run started.
    std::int64_t runs = 0;

    void SetUp() override
    {
        dir = std::filesystem::temp_directory_path() /
              ("adc-csv-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        file = dir / "run.csv";
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    // Starts the next run in `mode` and feeds it `lines` `after` the Start.
    std::int64_t run(Mode mode, const std::string &lines,
                     std::chrono::microseconds after = std::chrono::microseconds(0))
    {
        AcquisitionRun run(mode, port, display);
        run.setClock(clock);
        run.setObserver(&recorder);
        EXPECT_TRUE(run.start(++runs));
        clock.advance(after);
        run.process(lines);
        return run.count();
    }
};

TEST_F(Recording, RowsHoldTheValuesTheChartDrawsExactlyAndShortest)
{
    ASSERT_TRUE(recorder.open(file, false));
    EXPECT_EQ(run(Mode::Int,
                  "PIC 0:512 1:1.5 2:1E3 3:1E400 4:0.1 5:1D22 6:x 7:4095\r\n"
                  "noise\nPIC 0:1 1:2 2:3\n" // dropped lines leave no row
                  "PIC 0:00007 1:1 2:2 3:3 4:4 5:5 6:6 7:1e5\n",
                  52113us),
              2);
    // The wall clock is set between the runs: the rows show it as it was read.
    clock.setWall(test::ManualClock::kMorning + 1001ms);
    clock.advance(2s);
    EXPECT_EQ(run(Mode::Mcp3201, "MCP 0:4095 1:2047.25\n"), 1);
    recorder.close();
    EXPECT_EQ(contents(file),
              "time,seconds,run,mode,count,ch0,ch1,ch2,ch3,ch4,ch5,ch6,ch7\n"
              "2026-12-07T08:15:02.175Z,0.052113,1,INT,1,512,1.5,1000,inf,0.1,1e+22,0,4095\n"
              "2026-12-07T08:15:02.175Z,0.052113,1,INT,2,7,1,2,3,4,5,6,1e+05\n"
              "2026-12-07T08:15:05.124Z,0.000000,2,MCP3201,1,4095,2047.25,,,,,,\n");
    EXPECT_EQ(recorder.rowsWritten(), 3);
}

TEST_F(Recording, AnExistingFileIsRefusedUnlessAppendedToWithoutASecondHeader)
{
    ASSERT_TRUE(recorder.open(file, false));
    run(Mode::Mcp3201, "MCP 0:1 1:2\n");
    recorder.close();
    const std::string first = contents(file);

    CsvRecorder again;
    EXPECT_FALSE(again.open(file, false));
    EXPECT_NE(again.errorText().find(file.string()), std::string::npos) << again.errorText();
    EXPECT_NE(again.errorText().find("--append"), std::string::npos) << again.errorText();
    EXPECT_EQ(contents(file), first);

    ASSERT_TRUE(recorder.open(file, true));
    // The runs go on from the file's last.
    EXPECT_EQ(recorder.lastRunInFile(), 1);
    run(Mode::Mcp3201, "MCP 0:3 1:4\n");
    recorder.close();
    EXPECT_EQ(contents(file), first + "2026-12-07T08:15:02.123Z,0.000000,2,MCP3201,1,3,4,,,,,,\n");

    // An empty file gets its header; a folder that is not there is refused by name.
    std::ofstream(dir / "empty.csv").close();
    ASSERT_TRUE(recorder.open(dir / "empty.csv", true));
    recorder.close();
    EXPECT_EQ(contents(dir / "empty.csv"), CsvRecorder::kHeader);
    const std::string missing = (dir / "no" / "such.csv").string();
    EXPECT_FALSE(again.open(missing, false));
    EXPECT_NE(again.errorText().find(missing), std::string::npos);
    EXPECT_NE(again.errorText().find("No such file or directory"), std::string::npos);
}

TEST_F(Recording, RowsReachTheFileWithinTheFlushIntervalAndAtTheEnd)
{
    const auto size = [&] { return std::filesystem::file_size(file); };
    ASSERT_TRUE(recorder.open(file, false));
    AcquisitionRun acquisition(Mode::Mcp3201, port, display);
    acquisition.setClock(clock);
    acquisition.setObserver(&recorder);
    ASSERT_TRUE(acquisition.start());
    acquisition.process("MCP 0:1 1:1\n");
    EXPECT_EQ(size(), 0u) << "no write per row";
    const auto taken = clock.now().monotonic;
    recorder.flushIfDue(taken + CsvRecorder::kFlushInterval - 1ms);
    EXPECT_EQ(size(), 0u);
    // A quiet line: the timer's call brings the waiting rows to the file.
    recorder.flushIfDue(taken + CsvRecorder::kFlushInterval);
    const auto afterTimer = size();
    EXPECT_EQ(lineCount(file), 2);
    // A busy line: the row that finds the oldest waiting one due writes both.
    acquisition.process("MCP 0:2 1:2\n");
    clock.advance(CsvRecorder::kFlushInterval);
    EXPECT_EQ(size(), afterTimer);
    acquisition.process("MCP 0:3 1:3\n");
    EXPECT_GT(size(), afterTimer);
    EXPECT_EQ(recorder.rowsWritten(), 3);
    acquisition.process("MCP 0:4 1:4\n");
    EXPECT_EQ(recorder.rowsRecorded(), 4);
    recorder.close();
    EXPECT_EQ(recorder.rowsWritten(), 4);
    EXPECT_EQ(lineCount(file), 5);
}

TEST_F(Recording, AFailingWriteStopsTheRecordingAndLeavesOnlyWholeRows)
{
    // A full disk: nothing can be written, and the message says so and where.
    CsvRecorder full;
    const std::filesystem::path fullFile = dir / "full.csv";
    ASSERT_TRUE(full.open(fullFile, false));
    full.runStarted(clock.startOf(Mode::Mcp3201, 1));
    const double values[2] = {1, 2};
    full.recordAccepted({Mode::Mcp3201, 1, values});
    {
        test::FileSizeLimit nothingFits(0);
        EXPECT_FALSE(full.flush());
    }
    EXPECT_TRUE(full.failed());
    EXPECT_FALSE(full.recording());
    EXPECT_EQ(full.errorText(), "Recording to " + fullFile.string() +
                                    " has stopped: File too large. The 0 rows recorded before "
                                    "are safe in it.");
    full.recordAccepted({Mode::Mcp3201, 2, values});
    EXPECT_EQ(full.rowsRecorded(), 0);

    // A file size limit cuts a block short: the file is cut back to the rows written before.
    ASSERT_TRUE(recorder.open(file, false));
    std::string lines;
    for (int i = 0; i < 10; ++i) {
        lines += "MCP 0:4095 1:4095\n";
    }
    AcquisitionRun acquisition(Mode::Mcp3201, port, display);
    acquisition.setObserver(&recorder);
    ASSERT_TRUE(acquisition.start());
    acquisition.process(lines);
    ASSERT_TRUE(recorder.flush());
    const std::string safe = contents(file);
    bool flushed = true;
    {
        test::FileSizeLimit limit(safe.size() + 100);
        for (int i = 0; i < 20; ++i) {
            acquisition.process(lines);
        }
        flushed = recorder.flush();
    }
    EXPECT_FALSE(flushed);
    EXPECT_EQ(contents(file), safe);
    EXPECT_NE(recorder.errorText().find("The 10 rows recorded before are safe"), std::string::npos)
        << recorder.errorText();
    EXPECT_TRUE(acquisition.running()) << "the run goes on without its recording";
}

TEST_F(Recording, AppendingTakesOnlyItsOwnRecordingsAndGoesOnFromTheirLastRun)
{
    // Files that are not recordings are refused and left exactly as they were.
    write(dir / "table.csv", "a,b,c\n1,2,3\n");
    write(dir / "binary.csv", std::string("\x7f"
                                          "ELF\0\1\2\n",
                                          8) +
                                  std::string(100, '\xff'));
    std::filesystem::create_symlink(dir / "table.csv", dir / "link.csv");
    for (const char *name : {"table.csv", "binary.csv", "link.csv"}) {
        SCOPED_TRACE(name);
        const std::string before = contents(dir / name);
        EXPECT_FALSE(recorder.open(dir / name, true));
        EXPECT_NE(recorder.errorText().find("not a recording"), std::string::npos)
            << recorder.errorText();
        EXPECT_EQ(contents(dir / name), before);
    }

    // A recording of two runs, its last row cut short by a power cut.
    ASSERT_TRUE(recorder.open(file, false));
    run(Mode::Mcp3201, "MCP 0:1 1:2\n");
    run(Mode::Mcp3201, "MCP 0:3 1:4\n");
    recorder.close();
    EXPECT_TRUE(recorder.noticeText().empty());
    const std::string whole = contents(file);
    const std::string cut = "2026-12-07T08:15:02.123Z,0.000000,2,MCP3201,2,5";
    write(file, whole + cut);
    ASSERT_TRUE(recorder.open(file, true)) << recorder.errorText();
    EXPECT_NE(recorder.noticeText().find("partial row"), std::string::npos);
    EXPECT_EQ(recorder.lastRunInFile(), 2);
    runs = recorder.lastRunInFile();
    run(Mode::Mcp3201, "MCP 0:6 1:7\n");
    recorder.close();
    EXPECT_EQ(contents(file),
              whole + cut + "\n2026-12-07T08:15:02.123Z,0.000000,3,MCP3201,1,6,7,,,,,,\n");

    // A file of the header alone holds no run.
    write(file, CsvRecorder::kHeader);
    ASSERT_TRUE(recorder.open(file, true));
    EXPECT_EQ(recorder.lastRunInFile(), 0);
    runs = 0;
    run(Mode::Mcp3201, "MCP 0:8 1:9\n");
    recorder.close();
    EXPECT_EQ(contents(file), std::string(CsvRecorder::kHeader) +
                                  "2026-12-07T08:15:02.123Z,0.000000,1,MCP3201,1,8,9,,,,,,\n");
}

TEST_F(Recording, OnlyARegularFileIsTakenAndAStartOrARunWithoutRowsLeavesNoTrace)
{
    // A FIFO would block the open until a reader came; it and devices are refused at once, and
    // a folder is called one.
    ASSERT_EQ(::mkfifo((dir / "pipe.csv").c_str(), 0600), 0);
    std::filesystem::create_directory(dir / "folder.csv");
    for (const std::filesystem::path &path :
         {dir / "pipe.csv", std::filesystem::path("/dev/null"), dir / "folder.csv"}) {
        for (const bool append : {true, false}) {
            SCOPED_TRACE(path.string() + (append ? " --append" : ""));
            EXPECT_FALSE(recorder.open(path, append));
            const bool folder = path.filename() == "folder.csv";
            EXPECT_NE(recorder.errorText().find(folder ? " is a directory;" : "not a regular file"),
                      std::string::npos)
                << recorder.errorText();
        }
    }

    // A file the failed start created is removed; one it appended to is as it was.
    ASSERT_TRUE(recorder.open(file, false));
    recorder.discard();
    EXPECT_FALSE(std::filesystem::exists(file));
    write(file, std::string(CsvRecorder::kHeader) + "partial");
    ASSERT_TRUE(recorder.open(file, true));
    recorder.discard();
    EXPECT_EQ(contents(file), std::string(CsvRecorder::kHeader) + "partial");
    // Rows once written stay.
    ASSERT_TRUE(recorder.open(dir / "kept.csv", false));
    run(Mode::Mcp3201, "MCP 0:1 1:2\n");
    ASSERT_TRUE(recorder.flush());
    recorder.discard();
    EXPECT_EQ(lineCount(dir / "kept.csv"), 2);

    // At the program's end a file made for rows that never came is removed, and told; one
    // appended to, or with rows, stays.
    const std::filesystem::path unused = dir / "unused.csv";
    ASSERT_TRUE(recorder.open(unused, false));
    run(Mode::Mcp3201, "noise\n");
    recorder.finish();
    EXPECT_FALSE(std::filesystem::exists(unused));
    EXPECT_EQ(recorder.noticeText(), "No rows were recorded, so the file " + unused.string() +
                                         ", made for them, has been removed.");
    for (const bool rows : {false, true}) {
        ASSERT_TRUE(recorder.open(dir / "kept.csv", true));
        if (rows) {
            run(Mode::Mcp3201, "MCP 0:3 1:4\n");
        }
        recorder.finish();
        EXPECT_EQ(recorder.noticeText(), "");
        EXPECT_EQ(lineCount(dir / "kept.csv"), rows ? 3 : 2);
    }
}

} // namespace
