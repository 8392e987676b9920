// adc-board-sim: stands in for the A/D converter board on a pseudo-terminal, so that the
// program can be tried, tested and measured without a board.

#include "BoardPort.h"
#include "BoardSimulator.h"
#include "CsvReplay.h"
#include "LineSender.h"
#include "SimulatorOptions.h"
#include "TextBoard.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace {

std::atomic<bool> g_stop{false};

extern "C" void requestStop(int)
{
    g_stop = true;
}

void installSignalHandlers()
{
    struct sigaction action {};
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0; // no restart: a sleep or wait ends at once
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        sigaction(signal, &action, nullptr);
    }
    // A reader (or whoever reads our standard output) going away is no reason to stop.
    std::signal(SIGPIPE, SIG_IGN);
}

void report(const adc::SendTally &tally)
{
    std::string line = "adc-board-sim: sent " + std::to_string(tally.sent) +
                       " records, accepted: int=" + std::to_string(tally.acceptedInt) +
                       " mcp=" + std::to_string(tally.acceptedMcp);
    if (tally.dropped() > 0) {
        line += "; " + std::to_string(tally.dropped()) +
                " lines not sent while the reader's buffer was full, as a real line would "
                "lose them";
    }
    std::fprintf(stderr, "%s\n", line.c_str());
}

int fail(adc::BoardPort &port, const std::string &message)
{
    std::fprintf(stderr, "adc-board-sim: %s\n", message.c_str());
    port.close();
    return 1;
}

// The recording to replay, read to its end once so that a bad one is refused before the line
// opens; the error text, empty when it can be replayed.
std::string checkRecording(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return "cannot open " + path + ": " + std::strerror(errno);
    }
    adc::CsvReplay replay(in, "\n");
    for (std::string line; replay.hasLine(); line.clear()) {
        replay.appendLine(line);
    }
    return replay.error().empty() ? "" : "cannot replay " + path + ": " + replay.error();
}

// Opens the line, makes the link and tells where the line is, in that order, so that nothing
// is printed for a line that cannot be used.
std::string openLine(adc::BoardPort &port, const adc::SimulatorOptions &options)
{
    std::string error = options.device.empty() ? port.openPseudoTerminal(options.baud)
                                               : port.openDevice(options.device, options.baud);
    if (error.empty() && !options.link.empty()) {
        error = port.makeLink(options.link);
    }
    if (error.empty()) {
        // The first line tells the reader where to connect; it must go out at once.
        std::printf("%s\n", port.readerPath().c_str());
        std::fflush(stdout);
    }
    return error;
}

// Sends the lines of the simulated board or the recording until done or stopped.
int send(adc::BoardPort &port, const adc::SimulatorOptions &options)
{
    adc::LineSender sender(port.writeFd(), options);
    sender.setReaderFd(port.readerFd());
    std::string error;
    if (options.replay.empty() && options.format != adc::Format::Board) {
        adc::TextBoard board(options.format == adc::Format::Csv ? adc::TextBoard::Format::Csv
                                                                : adc::TextBoard::Format::KeyValue,
                             options.channels, *options.seed, options.lineEnd());
        error = sender.run(board, g_stop);
    } else if (options.replay.empty()) {
        adc::BoardSimulator board(options);
        error = sender.run(board, g_stop);
    } else {
        std::ifstream recording(options.replay, std::ios::binary);
        adc::CsvReplay replay(recording, options.lineEnd());
        error = sender.run(replay, g_stop);
        if (error.empty() && !replay.error().empty()) {
            error = "cannot replay " + options.replay + ": " + replay.error();
        }
    }
    report(sender.tally());
    return error.empty() ? 0 : fail(port, error);
}

} // namespace

int main(int argc, char **argv)
{
    const std::vector<std::string_view> arguments(argv + 1, argv + argc);
    auto [options, error] = adc::SimulatorOptions::parse(arguments);
    if (!error.empty()) {
        std::fprintf(stderr,
                     "adc-board-sim: %s\nTry 'adc-board-sim --help' for more information.\n",
                     error.c_str());
        return 2;
    }
    if (options.help || options.version) {
        std::fputs(options.help ? adc::SimulatorOptions::usage().c_str()
                                : "adc-board-sim " ADC_VERSION "\n",
                   stdout);
        return 0;
    }
    if (!options.seed) {
        std::random_device entropy;
        options.seed = (std::uint64_t{entropy()} << 32) ^ entropy();
    }
    installSignalHandlers();

    adc::BoardPort port;
    if (!options.replay.empty()) {
        error = checkRecording(options.replay);
    }
    if (error.empty()) {
        error = openLine(port, options);
    }
    if (!error.empty()) {
        return fail(port, error);
    }
    if (options.waitReader && !port.waitForReader(g_stop, 200)) {
        report(adc::SendTally{});
        port.close();
        return g_stop ? 0 : fail(port, "cannot watch " + port.readerPath() + " for a reader");
    }
    const int status = send(port, options);
    port.close();
    return status;
}
