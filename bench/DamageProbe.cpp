// Measures, from outside, how soon the real program's window shows what arrives on its port:
// the time from writing a record into the port to the X server's first damage report on the
// window "AD Converter", and how many frames per second reach the screen under a flood.
//
//   adc-damage-probe [options] -- PROGRAM [ARGS...]   runs PROGRAM ARGS --port PTY and measures
//   adc-damage-probe --click-only [--button int|mcp]  clicks Start in a window already open
//
// Options:
//   --button int|mcp    the Start button to click (default int)
//   --records N         records written one at a time (default 200)
//   --gap-ms MIN,MAX    random quiet time before each record, after the previous record's
//                       first damage report (default 10,40)
//   --flood-seconds S   then write records as fast as the port takes them for S seconds and
//                       count the frames that reach the screen (default 0: no flood)
//   --seed N            seed of the gaps and values (default 1)
//
// Output, one line each: "latency n=.. p50_ms=.. p99_ms=.. max_ms=.. missed=.. program_queue_ms=..
// probe_queue_ms=.." (the last two: time per record that the program's threads and this probe
// spent ready to run but waiting for a processor) and, with a
// flood, "flood seconds=.. records=.. damage_events=.. frames=.. frames_per_s=..
// min_frame_gap_ms=.. short_gaps=..". A frame is a burst of damage reports: by the X server's
// millisecond clock, a report more than 4 ms after the one before starts a new frame, and a
// short gap is one of under 15 ms between the starts of two frames (surely under 16 ms). Needs
// an X server with the DAMAGE and XTEST extensions (Xvfb has both).

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xdamage.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <getopt.h>
#include <optional>
#include <poll.h>
#include <pty.h>
#include <random>
#include <string>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr const char *kTitle = "AD Converter";
// The Start buttons' centres in the window, in pixels (their places in twips / 15).
constexpr int kButtonX = (5085 + 1965 / 2) / 15;
constexpr int kIntButtonY = (4500 + 315 / 2) / 15;
constexpr int kMcpButtonY = (4815 + 315 / 2) / 15;
// A frame's reports can reach the server's clock a few milliseconds apart when the server is
// kept waiting for the processor; frames are meant to be 16 ms apart or more.
constexpr double kBurstGapMs = 4.0;

double nowMs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

struct Options {
    bool mcp = false;
    bool clickOnly = false;
    int records = 200;
    int gapMin = 10;
    int gapMax = 40;
    double floodSeconds = 0;
    unsigned seed = 1;
    std::vector<char *> command;
};

std::optional<Options> parseOptions(int argc, char **argv)
{
    static const option longOptions[] = {{"button", required_argument, nullptr, 'b'},
                                         {"click-only", no_argument, nullptr, 'c'},
                                         {"records", required_argument, nullptr, 'r'},
                                         {"gap-ms", required_argument, nullptr, 'g'},
                                         {"flood-seconds", required_argument, nullptr, 'f'},
                                         {"seed", required_argument, nullptr, 's'},
                                         {nullptr, 0, nullptr, 0}};
    Options o;
    for (int c; (c = getopt_long(argc, argv, "", longOptions, nullptr)) != -1;) {
        switch (c) {
        case 'b':
            o.mcp = std::strcmp(optarg, "mcp") == 0;
            break;
        case 'c':
            o.clickOnly = true;
            break;
        case 'r':
            o.records = std::atoi(optarg);
            break;
        case 'g':
            if (std::sscanf(optarg, "%d,%d", &o.gapMin, &o.gapMax) != 2 || o.gapMin > o.gapMax) {
                return std::nullopt;
            }
            break;
        case 'f':
            o.floodSeconds = std::atof(optarg);
            break;
        case 's':
            o.seed = static_cast<unsigned>(std::strtoul(optarg, nullptr, 10));
            break;
        default:
            return std::nullopt;
        }
    }
    o.command.assign(argv + optind, argv + argc);
    if (!o.clickOnly && o.command.empty()) {
        return std::nullopt;
    }
    return o;
}

bool hasTitle(Display *dpy, Window w)
{
    char *name = nullptr;
    const bool match =
        XFetchName(dpy, w, &name) && name != nullptr && std::strcmp(name, kTitle) == 0;
    XFree(name);
    return match;
}

Window findWindow(Display *dpy, Window root)
{
    Window parent = 0;
    Window *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(dpy, root, &root, &parent, &children, &count)) {
        return 0;
    }
    Window found = 0;
    for (unsigned i = 0; i < count && found == 0; ++i) {
        XWindowAttributes a{};
        if (hasTitle(dpy, children[i]) && XGetWindowAttributes(dpy, children[i], &a) &&
            a.map_state == IsViewable) {
            found = children[i];
        } else {
            found = findWindow(dpy, children[i]);
        }
    }
    XFree(children);
    return found;
}

/// When a damage report was read here, and the X server's time of it (whole milliseconds).
struct Report {
    double readMs;
    Time serverMs;
};

/// Watches one window's damage reports.
class DamageWatch {
public:
    DamageWatch(Display *dpy, Window w, int eventBase) : m_dpy(dpy), m_eventBase(eventBase)
    {
        m_damage = XDamageCreate(dpy, w, XDamageReportRawRectangles);
        XFlush(dpy);
    }

    /// Waits up to `timeoutMs` for reports (or until `fd` is writable, when given) and returns
    /// those read.
    std::vector<Report> wait(double timeoutMs, int fd = -1, bool *writable = nullptr)
    {
        std::vector<Report> times;
        const double deadline = nowMs() + timeoutMs;
        for (;;) {
            drain(times);
            if (!times.empty()) {
                return times;
            }
            const double left = deadline - nowMs();
            if (left <= 0) {
                return times;
            }
            pollfd fds[2] = {{ConnectionNumber(m_dpy), POLLIN, 0}, {fd, POLLOUT, 0}};
            ::poll(fds, fd >= 0 ? 2 : 1, static_cast<int>(left) + 1);
            if (fd >= 0 && (fds[1].revents & POLLOUT)) {
                drain(times);
                *writable = true;
                return times;
            }
        }
    }

    /// Reads the reports until none arrives for `quietMs`.
    void settle(double quietMs)
    {
        while (!wait(quietMs).empty()) {
        }
    }

private:
    void drain(std::vector<Report> &times)
    {
        while (XPending(m_dpy) > 0) {
            XEvent event;
            XNextEvent(m_dpy, &event);
            if (event.type == m_eventBase + XDamageNotify) {
                times.push_back({nowMs(), reinterpret_cast<XDamageNotifyEvent &>(event).timestamp});
            }
        }
    }

    Display *m_dpy;
    int m_eventBase;
    Damage m_damage = 0;
};

void click(Display *dpy, Window w, bool mcp)
{
    int x = 0;
    int y = 0;
    Window child = 0;
    XTranslateCoordinates(dpy, w, DefaultRootWindow(dpy), kButtonX, mcp ? kMcpButtonY : kIntButtonY,
                          &x, &y, &child);
    XTestFakeMotionEvent(dpy, DefaultScreen(dpy), x, y, CurrentTime);
    XTestFakeButtonEvent(dpy, 1, True, 20);
    XTestFakeButtonEvent(dpy, 1, False, 20);
    XFlush(dpy);
}

Window awaitWindow(Display *dpy, double timeoutMs)
{
    const double deadline = nowMs() + timeoutMs;
    while (nowMs() < deadline) {
        if (const Window w = findWindow(dpy, DefaultRootWindow(dpy))) {
            return w;
        }
        usleep(20000);
    }
    return 0;
}

std::string record(std::mt19937_64 &random, bool mcp)
{
    std::uniform_int_distribution<int> value(0, mcp ? 4095 : 1023);
    std::string line = mcp ? "MCP" : "PIC";
    for (int k = 0; k < (mcp ? 2 : 8); ++k) {
        line += ' ' + std::to_string(k) + ':' + std::to_string(value(random));
    }
    return line + "\r\n";
}

double percentile(std::vector<double> v, double share)
{
    if (v.empty()) {
        return 0;
    }
    std::sort(v.begin(), v.end());
    return v[static_cast<std::size_t>(share * static_cast<double>(v.size() - 1))];
}

/// Nanoseconds the threads of process `pid` have spent ready to run but waiting for a processor
/// (the second field of the scheduler's statistics).
double runQueueWaitMs(pid_t pid)
{
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    double total = 0;
    if (DIR *dir = opendir(tasks.c_str())) {
        while (const dirent *entry = readdir(dir)) {
            if (entry->d_name[0] == '.') {
                continue;
            }
            if (FILE *f = std::fopen((tasks + "/" + entry->d_name + "/schedstat").c_str(), "r")) {
                unsigned long long running = 0;
                unsigned long long waiting = 0;
                if (std::fscanf(f, "%llu %llu", &running, &waiting) == 2) {
                    total += static_cast<double>(waiting) / 1e6;
                }
                std::fclose(f);
            }
        }
        closedir(dir);
    }
    return total;
}

void measureLatency(DamageWatch &watch, int master, const Options &o, std::mt19937_64 &random,
                    pid_t program)
{
    const double programWait = runQueueWaitMs(program);
    const double ownWait = runQueueWaitMs(getpid());
    std::uniform_int_distribution<int> gap(o.gapMin, o.gapMax);
    std::vector<double> latencies;
    int missed = 0;
    for (int i = 0; i < o.records; ++i) {
        // The gap runs from the previous record's first report; later reports are read away.
        const double until = nowMs() + gap(random);
        while (nowMs() < until) {
            watch.wait(until - nowMs());
        }
        const std::string line = record(random, o.mcp);
        const double written = nowMs();
        if (::write(master, line.data(), line.size()) != static_cast<ssize_t>(line.size())) {
            std::fprintf(stderr, "adc-damage-probe: cannot write: %s\n", std::strerror(errno));
            return;
        }
        const std::vector<Report> times = watch.wait(1000);
        if (times.empty()) {
            ++missed;
        } else {
            latencies.push_back(times.front().readMs - written);
        }
    }
    // How long, per record, the program and this probe were ready but waited for a processor:
    // on a busy machine that, not the work, makes the tail.
    const double records = std::max(1, o.records);
    std::printf("latency n=%zu p50_ms=%.3f p99_ms=%.3f max_ms=%.3f missed=%d "
                "program_queue_ms=%.3f probe_queue_ms=%.3f\n",
                latencies.size(), percentile(latencies, 0.5), percentile(latencies, 0.99),
                percentile(latencies, 1.0), missed,
                (runQueueWaitMs(program) - programWait) / records,
                (runQueueWaitMs(getpid()) - ownWait) / records);
}

void printFrames(const std::vector<Report> &reports, double seconds, double records);

void measureFlood(DamageWatch &watch, int master, const Options &o, std::mt19937_64 &random)
{
    // One block of whole records, written again and again as the port makes room.
    std::string block;
    long perBlock = 0;
    while (block.size() < 64 * 1024) {
        block += record(random, o.mcp);
        ++perBlock;
    }
    const double recordBytes = static_cast<double>(block.size()) / static_cast<double>(perBlock);
    const int flags = fcntl(master, F_GETFL);
    fcntl(master, F_SETFL, flags | O_NONBLOCK);
    std::vector<Report> reports;
    std::size_t offset = 0;
    double bytes = 0;
    const double start = nowMs();
    const double end = start + o.floodSeconds * 1000;
    while (nowMs() < end) {
        bool writable = false;
        const std::vector<Report> times = watch.wait(end - nowMs(), master, &writable);
        reports.insert(reports.end(), times.begin(), times.end());
        while (writable) {
            const ssize_t n = ::write(master, block.data() + offset, block.size() - offset);
            if (n <= 0) {
                break;
            }
            bytes += static_cast<double>(n);
            offset = (offset + static_cast<std::size_t>(n)) % block.size();
        }
    }
    fcntl(master, F_SETFL, flags);
    printFrames(reports, (nowMs() - start) / 1000, bytes / recordBytes);
}

// The frames among the damage `reports` of a flood of `records` over `seconds`.
void printFrames(const std::vector<Report> &reports, double seconds, double records)
{
    // Frames are told apart by the server's clock: this process may read a burst late.
    int frames = 0;
    double lastFrame = -1e9;
    double lastReport = -1e9;
    double minGap = 1e9;
    int under16 = 0;
    for (const Report &report : reports) {
        const auto t = static_cast<double>(report.serverMs);
        if (t - lastReport > kBurstGapMs) {
            if (frames > 0) {
                minGap = std::min(minGap, t - lastFrame);
                under16 += t - lastFrame < 15.0 ? 1 : 0;
            }
            ++frames;
            lastFrame = t;
        }
        lastReport = t;
    }
    std::printf("flood seconds=%.2f records=%.0f damage_events=%zu frames=%d frames_per_s=%.1f "
                "min_frame_gap_ms=%.0f short_gaps=%d\n",
                seconds, records, reports.size(), frames, frames / seconds,
                frames > 1 ? minGap : 0.0, under16);
}

pid_t startProgram(const std::vector<char *> &command, const char *port)
{
    std::vector<char *> args = command;
    std::string portOption = "--port";
    std::string portName = port;
    args.push_back(portOption.data());
    args.push_back(portName.data());
    args.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        execvp(args[0], args.data());
        std::fprintf(stderr, "adc-damage-probe: cannot run %s: %s\n", args[0],
                     std::strerror(errno));
        _exit(127);
    }
    return pid;
}

// Waits for the window and clicks its Start button, nothing more.
int clickOnly(Display *dpy, int eventBase, bool mcp)
{
    const Window w = awaitWindow(dpy, 60000);
    if (w != 0) {
        DamageWatch(dpy, w, eventBase).settle(300);
        click(dpy, w, mcp);
        XSync(dpy, False);
    }
    return w != 0 ? 0 : 1;
}

// Starts the program on a pseudo-terminal, clicks Start and measures it.
int probe(Display *dpy, int eventBase, const Options &o)
{
    int master = -1;
    int slave = -1;
    termios raw{};
    cfmakeraw(&raw);
    if (openpty(&master, &slave, nullptr, &raw, nullptr) != 0) {
        std::fprintf(stderr, "adc-damage-probe: no pseudo-terminal: %s\n", std::strerror(errno));
        return 1;
    }
    const pid_t program = startProgram(o.command, ttyname(slave));
    const Window w = awaitWindow(dpy, 10000);
    int status = 1;
    if (w == 0) {
        std::fprintf(stderr, "adc-damage-probe: no window titled \"%s\"\n", kTitle);
    } else {
        DamageWatch watch(dpy, w, eventBase);
        watch.settle(500);
        click(dpy, w, o.mcp);
        watch.settle(300);
        std::mt19937_64 random(o.seed);
        measureLatency(watch, master, o, random, program);
        if (o.floodSeconds > 0) {
            watch.settle(100);
            measureFlood(watch, master, o, random);
        }
        status = 0;
    }
    kill(program, SIGTERM);
    waitpid(program, nullptr, 0);
    close(master);
    close(slave);
    return status;
}

int run(const Options &o)
{
    Display *dpy = XOpenDisplay(nullptr);
    int eventBase = 0;
    int errorBase = 0;
    int major = 0;
    int minor = 0;
    if (dpy == nullptr || !XDamageQueryExtension(dpy, &eventBase, &errorBase) ||
        !XTestQueryExtension(dpy, &eventBase, &errorBase, &major, &minor)) {
        std::fprintf(stderr, "adc-damage-probe: needs an X display with DAMAGE and XTEST\n");
        return 1;
    }
    XDamageQueryExtension(dpy, &eventBase, &errorBase);
    const int status = o.clickOnly ? clickOnly(dpy, eventBase, o.mcp) : probe(dpy, eventBase, o);
    XCloseDisplay(dpy);
    return status;
}

} // namespace

int main(int argc, char **argv)
{
    const std::optional<Options> options = parseOptions(argc, argv);
    if (!options) {
        std::fprintf(stderr, "usage: adc-damage-probe [--button int|mcp] [--records N] "
                             "[--gap-ms MIN,MAX] [--flood-seconds S] [--seed N] -- PROGRAM [ARGS]\n"
                             "       adc-damage-probe --click-only [--button int|mcp]\n");
        return 2;
    }
    return run(*options);
}
