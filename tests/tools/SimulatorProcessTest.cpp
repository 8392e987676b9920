#include "BoardLine.h"
#include "BoardSimulator.h"
#include "ReaderRun.h"
#include "SimProcess.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <termios.h>
#include <thread>
#include <unistd.h>

using namespace adc;
using adc::test::ReaderRun;
using adc::test::SimProcess;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

struct Report {
    std::int64_t sent = -1;
    std::int64_t acceptedInt = -1;
    std::int64_t acceptedMcp = -1;
};

// Reads "adc-board-sim: sent N records, accepted: int=A mcp=B" from standard error.
Report readReport(const std::string &error)
{
    Report r;
    const auto at = error.find("adc-board-sim: sent ");
    if (at != std::string::npos) {
        long long sent = 0;
        long long acceptedInt = 0;
        long long acceptedMcp = 0;
        if (std::sscanf(error.c_str() + at,
                        "adc-board-sim: sent %lld records, accepted: int=%lld mcp=%lld", &sent,
                        &acceptedInt, &acceptedMcp) == 3) {
            r = {sent, acceptedInt, acceptedMcp};
        }
    }
    return r;
}

std::string readFile(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// The same lines as the simulator makes them, from the library.
std::string expectedBytes(const std::vector<Mode> &modes, std::uint64_t seed, double noise,
                          int lines)
{
    SimulatorOptions o;
    o.modes = modes;
    o.seed = seed;
    o.noise = noise;
    BoardSimulator board(o);
    std::string bytes;
    for (int i = 0; i < lines; ++i) {
        board.appendLine(bytes);
    }
    return bytes;
}

class TempDir {
public:
    TempDir()
    {
        char pattern[] = "/tmp/adc-board-sim-test-XXXXXX";
        m_path = mkdtemp(pattern);
    }
    ~TempDir() { fs::remove_all(m_path); }
    const fs::path &path() const { return m_path; }

private:
    fs::path m_path;
};

// A reader on the pseudo-terminal's other end, collecting what arrives with its time.
class PortReader {
public:
    explicit PortReader(const std::string &path) : m_fd(::open(path.c_str(), O_RDONLY | O_NOCTTY))
    {
    }
    ~PortReader()
    {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    bool isOpen() const { return m_fd >= 0; }
    int fd() const { return m_fd; }

    /// Reads for `time`, or until the other end goes away when `time` is zero.
    std::string readFor(Clock::duration time,
                        std::vector<std::pair<Clock::time_point, std::size_t>> *arrivals = nullptr)
    {
        std::string got;
        const auto deadline = Clock::now() + time;
        char buffer[65536];
        for (;;) {
            int timeout = 1000;
            if (time != Clock::duration::zero()) {
                const auto left =
                    std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
                if (left <= 0ms) {
                    break;
                }
                timeout = static_cast<int>(left.count());
            }
            pollfd p{m_fd, POLLIN, 0};
            const int ready = poll(&p, 1, timeout);
            if (ready == 0) {
                if (time == Clock::duration::zero()) {
                    break; // nothing for a second: the writer is gone or stuck
                }
                continue;
            }
            const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
            if (n <= 0) {
                if (n < 0 && errno == EINTR) {
                    continue;
                }
                break; // the board's end closed
            }
            got.append(buffer, static_cast<std::size_t>(n));
            if (arrivals) {
                arrivals->emplace_back(Clock::now(), got.size());
            }
        }
        return got;
    }

private:
    int m_fd;
};

TEST(SimulatorProcess, PrintsTheSlavePathAndKeepsTheLinkOnlyWhileRunning)
{
    TempDir dir;
    const fs::path link = dir.path() / "board";
    SimProcess sim({"--link", link.string(), "--rate", "200"});
    const auto path = sim.readLine(5s);
    ASSERT_TRUE(path.has_value());
    EXPECT_TRUE(path->starts_with("/dev/pts/")) << *path;

    // The link appears right after the path is printed.
    const auto deadline = Clock::now() + 2s;
    while (!fs::is_symlink(link) && Clock::now() < deadline) {
        std::this_thread::sleep_for(5ms);
    }
    ASSERT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(fs::read_symlink(link).string(), *path);

    // Records arrive through the link.
    {
        PortReader reader(link.string());
        ASSERT_TRUE(reader.isOpen());
        const std::string got = reader.readFor(300ms);
        ReaderRun intReader(Mode::Int);
        ReaderRun mcpReader(Mode::Mcp3201);
        intReader.feed(got);
        mcpReader.feed(got);
        EXPECT_GT(intReader.accepted(), 5);
        EXPECT_GT(mcpReader.accepted(), 5);
    }

    sim.signal(SIGTERM);
    EXPECT_EQ(sim.wait(3s), 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
    const Report r = readReport(sim.errorText());
    EXPECT_GT(r.sent, 10) << sim.errorText();
    EXPECT_EQ(r.acceptedInt + r.acceptedMcp, r.sent);
}

TEST(SimulatorProcess, InterruptAlsoRemovesTheLinkAndAStaleLinkIsReplaced)
{
    TempDir dir;
    const fs::path link = dir.path() / "board";
    fs::create_symlink("/dev/pts/nonexistent", link);
    SimProcess sim({"--link", link.string()});
    const auto path = sim.readLine(5s);
    ASSERT_TRUE(path.has_value());
    const auto deadline = Clock::now() + 2s;
    std::error_code ec;
    while (fs::read_symlink(link, ec).string() != *path && Clock::now() < deadline) {
        std::this_thread::sleep_for(5ms);
    }
    EXPECT_EQ(fs::read_symlink(link, ec).string(), *path);
    sim.signal(SIGINT);
    EXPECT_EQ(sim.wait(3s), 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
}

TEST(SimulatorProcess, LeavesAnythingButALinkAloneAndFails)
{
    TempDir dir;
    const fs::path file = dir.path() / "precious";
    std::ofstream(file) << "keep me";
    const auto result = test::runSimulator({"--link", file.string(), "--count", "5"});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.error.find("not a symbolic link"), std::string::npos) << result.error;
    EXPECT_EQ(readFile(file), "keep me");
    EXPECT_EQ(result.output, "") << "no path may be given for a line that was not set up";
}

TEST(SimulatorProcess, OptionErrorsGiveStatus2AndAMessage)
{
    for (const std::vector<std::string> &arguments : {std::vector<std::string>{"--frobnicate"},
                                                      {"--mode", "pic"},
                                                      {"--baud", "fast"},
                                                      {"--noise", "2"},
                                                      {"--count"},
                                                      {"stray"}}) {
        const auto result = test::runSimulator(arguments, 5s);
        EXPECT_EQ(result.status, 2) << arguments.front();
        EXPECT_NE(result.error.find("adc-board-sim: "), std::string::npos) << result.error;
        EXPECT_NE(result.error.find("--help"), std::string::npos) << result.error;
        EXPECT_EQ(result.output, "") << "nothing may be opened or printed";
    }
    const auto help = test::runSimulator({"--help"}, 5s);
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.output.find("Usage: adc-board-sim"), std::string::npos);
    const auto version = test::runSimulator({"--version"}, 5s);
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.output, "adc-board-sim " ADC_VERSION "\n");
}

TEST(SimulatorProcess, WritesToAFileTheLibrarysBytesAndReportsWhatReadersAccept)
{
    TempDir dir;
    for (const auto &[mode, name] :
         {std::pair{std::vector{Mode::Int, Mode::Mcp3201}, "both"},
          std::pair{std::vector{Mode::Int}, "int"}, std::pair{std::vector{Mode::Mcp3201}, "mcp"}}) {
        const fs::path file = dir.path() / (std::string(name) + ".txt");
        const auto result =
            test::runSimulator({"--device", file.string(), "--rate", "max", "--count", "5000",
                                "--noise", "0.3", "--seed", "31", "--mode", name});
        ASSERT_EQ(result.status, 0) << result.error;
        EXPECT_EQ(result.output, file.string() + "\n");
        const std::string bytes = readFile(file);
        EXPECT_EQ(bytes, expectedBytes(mode, 31, 0.3, 5000)) << name;

        const Report r = readReport(result.error);
        EXPECT_EQ(r.sent, 5000) << result.error;
        ReaderRun intReader(Mode::Int);
        ReaderRun mcpReader(Mode::Mcp3201);
        intReader.feed(bytes);
        mcpReader.feed(bytes);
        EXPECT_EQ(intReader.accepted(), r.acceptedInt) << name;
        EXPECT_EQ(mcpReader.accepted(), r.acceptedMcp) << name;
        EXPECT_GT(r.acceptedInt + r.acceptedMcp, 3000) << name;
    }
}

TEST(SimulatorProcess, ReplaysARecordingAtItsPaceTimesTheSpeedAndRefusesABadOne)
{
    TempDir dir;
    const fs::path csv = dir.path() / "run.csv";
    const fs::path out = dir.path() / "replayed.txt";
    std::string recording = "time,seconds,run,mode,count,ch0,ch1,ch2,ch3,ch4,ch5,ch6,ch7\n";
    std::string expected;
    for (int i = 0; i <= 5; ++i) {
        recording += "2026-12-07T08:15:02.123Z," + std::to_string(0.2 * i) + ",1,MCP3201," +
                     std::to_string(i + 1) + "," + std::to_string(i) + ",inf,,,,,,\n";
        expected += "MCP 0:" + std::to_string(i) + " 1:1E999\n";
    }
    std::ofstream(csv) << recording;
    const auto start = Clock::now();
    const auto result = test::runSimulator({"--replay", csv.string(), "--speed", "2", "--device",
                                            out.string(), "--line-ending", "lf"});
    const auto elapsed = Clock::now() - start;
    ASSERT_EQ(result.status, 0) << result.error;
    EXPECT_EQ(readFile(out), expected);
    const Report r = readReport(result.error);
    EXPECT_EQ(r.sent, 6);
    EXPECT_EQ(r.acceptedMcp, 6);
    // One second of recording at twice the speed.
    EXPECT_GE(elapsed, 450ms);
    EXPECT_LT(elapsed, 3s);

    std::ofstream(csv, std::ios::app) << "2026-12-07T08:15:03.000Z,1.2,1,INT,7,1,2,3,4,5,6,7,8\n";
    const auto bad = test::runSimulator({"--replay", csv.string(), "--device", out.string()});
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.output, "");
    EXPECT_NE(bad.error.find(csv.string() + ": line 8: mode INT"), std::string::npos) << bad.error;
}

TEST(SimulatorProcess, AtFullSpeedAReaderOnThePseudoTerminalGetsEveryLine)
{
    SimProcess sim({"--rate", "max", "--count", "20000", "--noise", "0.3", "--seed", "8"});
    const auto path = sim.readLine(5s);
    ASSERT_TRUE(path.has_value());
    // Let the simulator fill the line before anyone reads: it must wait, not drop.
    std::this_thread::sleep_for(300ms);
    PortReader reader(*path);
    ASSERT_TRUE(reader.isOpen());
    const std::string got = reader.readFor(Clock::duration::zero());
    EXPECT_EQ(sim.wait(10s), 0);
    const Report r = readReport(sim.errorText());
    EXPECT_EQ(r.sent, 20000) << sim.errorText();
    EXPECT_TRUE(got == expectedBytes({Mode::Int, Mode::Mcp3201}, 8, 0.3, 20000))
        << "received " << got.size() << " bytes";
    ReaderRun intReader(Mode::Int);
    ReaderRun mcpReader(Mode::Mcp3201);
    intReader.feed(got);
    mcpReader.feed(got);
    EXPECT_EQ(intReader.accepted(), r.acceptedInt);
    EXPECT_EQ(mcpReader.accepted(), r.acceptedMcp);
}

TEST(SimulatorProcess, WaitsForAReaderThatEmptiesItsInputOnOpening)
{
    // A serial reader empties its input when it starts; with --wait-reader it still gets
    // every record, and without, what queued up before it came is gone.
    for (const bool wait : {true, false}) {
        std::vector<std::string> args{"--mode",  "int", "--rate", "max",
                                      "--count", "300", "--seed", "3"};
        if (wait) {
            args.push_back("--wait-reader");
        }
        SimProcess sim(args);
        const auto path = sim.readLine(5s);
        ASSERT_TRUE(path.has_value());
        std::this_thread::sleep_for(300ms);
        PortReader reader(*path);
        ASSERT_TRUE(reader.isOpen());
        ASSERT_EQ(tcflush(reader.fd(), TCIFLUSH), 0);
        const std::string got = reader.readFor(Clock::duration::zero());
        EXPECT_EQ(sim.wait(10s), 0);
        const auto lines = std::count(got.begin(), got.end(), '\n');
        if (wait) {
            EXPECT_EQ(lines, 300);
            EXPECT_EQ(readReport(sim.errorText()).acceptedInt, 300);
        } else {
            EXPECT_LT(lines, 300);
        }
    }
}

// Characters per second seen by a reader over about a second, from the first arrival on.
double measuredRate(const std::vector<std::pair<Clock::time_point, std::size_t>> &arrivals,
                    std::size_t &units, const std::string &got, bool countLines)
{
    if (arrivals.size() < 2) {
        return 0.0;
    }
    const auto [t0, n0] = arrivals.front();
    const auto [t1, n1] = arrivals.back();
    units = countLines ? static_cast<std::size_t>(
                             std::count(got.begin() + static_cast<std::ptrdiff_t>(n0),
                                        got.begin() + static_cast<std::ptrdiff_t>(n1), '\n'))
                       : n1 - n0;
    return static_cast<double>(units) / std::chrono::duration<double>(t1 - t0).count();
}

struct PaceCase {
    std::vector<std::string> arguments;
    double rate;     ///< what a reader should see per second
    bool countLines; ///< lines per second, or characters per second
};

// Shown in the test's name: the arguments, not the bytes of the vector's heap pointers.
void PrintTo(const PaceCase &pace, std::ostream *out)
{
    for (const std::string &argument : pace.arguments) {
        *out << (&argument == &pace.arguments.front() ? "" : " ") << argument;
    }
}

class SimulatorPacing : public ::testing::TestWithParam<PaceCase> {};

TEST_P(SimulatorPacing, KeepsThePaceItWasGiven)
{
    const PaceCase &pace = GetParam();
    SimProcess sim(pace.arguments);
    const auto path = sim.readLine(5s);
    ASSERT_TRUE(path.has_value());
    PortReader reader(*path);
    ASSERT_TRUE(reader.isOpen());
    // Skip what queued up before the reader came, then watch for a little over a second.
    reader.readFor(150ms);
    std::vector<std::pair<Clock::time_point, std::size_t>> arrivals;
    const std::string got = reader.readFor(1200ms, &arrivals);
    std::size_t units = 0;
    const double rate = measuredRate(arrivals, units, got, pace.countLines);
    EXPECT_GT(rate, pace.rate * 0.75) << units << (pace.countLines ? " lines" : " characters");
    EXPECT_LT(rate, pace.rate * 1.25) << units << (pace.countLines ? " lines" : " characters");
    sim.signal(SIGTERM);
    EXPECT_EQ(sim.wait(3s), 0);
}

// 9600 baud at 10 bits per character: 960 characters per second.
INSTANTIATE_TEST_SUITE_P(
    BaudAndRate, SimulatorPacing,
    ::testing::Values(PaceCase{{"--baud", "9600", "--mode", "both"}, 960, false},
                      PaceCase{{"--rate", "200", "--mode", "int"}, 200, true}),
    [](const ::testing::TestParamInfo<PaceCase> &info) {
        return info.param.countLines ? "LinesPerSecond" : "CharactersPerSecond";
    });

TEST(SimulatorProcess, KeepsSendingWhenTheReaderGoesAwayAndComesBackAndDropsWholeLinesOnly)
{
    // About 270 kB a second: the pseudo-terminal's buffer fills while nobody reads.
    SimProcess sim({"--rate", "5000", "--count", "10000", "--mode", "int", "--seed", "4"});
    const auto path = sim.readLine(5s);
    ASSERT_TRUE(path.has_value());
    std::string got;
    {
        PortReader reader(*path);
        ASSERT_TRUE(reader.isOpen());
        got = reader.readFor(200ms);
        EXPECT_FALSE(got.empty());
    }
    std::this_thread::sleep_for(1s);
    EXPECT_FALSE(sim.wait(0ms).has_value()) << "the simulator stopped: " << sim.errorText();
    {
        // What the first reader left queued comes first, then fresh lines, to the end.
        PortReader reader(*path);
        ASSERT_TRUE(reader.isOpen());
        got += reader.readFor(Clock::duration::zero());
    }
    EXPECT_EQ(sim.wait(5s), 0);
    const std::string error = sim.errorText();
    EXPECT_NE(error.find("lines not sent while the reader's buffer was full, as a real line would "
                         "lose them"),
              std::string::npos)
        << error;
    const Report r = readReport(error);
    EXPECT_GT(r.sent, 1000) << error;
    EXPECT_LT(r.sent, 10000) << error;
    EXPECT_EQ(r.acceptedInt, r.sent);

    // Lines were lost whole: every line that arrived is one whole record.
    ReaderRun intReader(Mode::Int);
    intReader.feed(got);
    EXPECT_EQ(intReader.accepted(), r.acceptedInt);
    ASSERT_TRUE(got.ends_with("\n"));
    std::int64_t lines = 0;
    for (std::size_t start = 0, nl; (nl = got.find('\n', start)) != std::string::npos;
         start = nl + 1) {
        const std::string line = got.substr(start, nl + 1 - start);
        ASSERT_TRUE(test::isBoardRecord(line, "PIC", 8, "\r\n"))
            << "line " << lines << ": " << line;
        ++lines;
    }
    EXPECT_EQ(lines, r.sent);
}

} // namespace
