// adc-board-sim: stands in for the A/D converter board on a pseudo-terminal, so that the
// program can be tried, tested and measured without a board.

#include "BoardPort.h"
#include "BoardSimulator.h"
#include "LineSender.h"
#include "SimulatorOptions.h"

#include <atomic>
#include <csignal>
#include <cstdio>
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
        line += ", dropped " + std::to_string(tally.dropped()) + " for want of room";
    }
    std::fprintf(stderr, "%s\n", line.c_str());
}

int fail(adc::BoardPort &port, const std::string &message)
{
    std::fprintf(stderr, "adc-board-sim: %s\n", message.c_str());
    port.close();
    return 1;
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
    if (options.help) {
        std::fputs(adc::SimulatorOptions::usage().c_str(), stdout);
        return 0;
    }
    if (!options.seed) {
        std::random_device entropy;
        options.seed = (std::uint64_t{entropy()} << 32) ^ entropy();
    }
    installSignalHandlers();

    adc::BoardPort port;
    error = options.device.empty() ? port.openPseudoTerminal(options.baud)
                                   : port.openDevice(options.device, options.baud);
    if (!error.empty()) {
        return fail(port, error);
    }
    // The first line tells the reader where to connect; it must go out at once.
    std::printf("%s\n", port.readerPath().c_str());
    std::fflush(stdout);
    if (!options.link.empty()) {
        error = port.makeLink(options.link);
        if (!error.empty()) {
            return fail(port, error);
        }
    }

    if (options.waitReader && !port.waitForReader(g_stop, 200)) {
        report(adc::SendTally{});
        port.close();
        return g_stop ? 0 : fail(port, "cannot watch " + port.readerPath() + " for a reader");
    }

    adc::BoardSimulator board(options);
    adc::LineSender sender(port.writeFd(), options);
    sender.setReaderFd(port.readerFd());
    error = sender.run(board, g_stop);
    report(sender.tally());
    if (!error.empty()) {
        return fail(port, error);
    }
    port.close();
    return 0;
}
