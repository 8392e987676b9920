#include "LineSender.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace adc {

namespace {

using namespace std::chrono_literals;

// Bytes gathered before one write when running as fast as the reader takes them.
constexpr std::size_t kBlock = 256 * 1024;
// Longest sleep, so that a stop request is seen soon even without a signal.
constexpr auto kLongestWait = 100ms;
// How long a reader that takes nothing may keep the sender from ending.
constexpr auto kReaderPatience = 2s;
// The longest gap between two lines, a century: a longer one (a row at 1e300 seconds, a gap
// stretched by a tiny --speed) is waited for that long, which is as asked for any purpose, where
// the clock's nanoseconds would overflow past 292 years and send the line at once.
constexpr double kLongestGapSeconds = 100 * 365.25 * 24 * 3600;

void sleepFor(std::chrono::nanoseconds time)
{
    if (time <= 0ns) {
        return;
    }
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(time);
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(seconds.count());
    ts.tv_nsec = static_cast<long>((time - seconds).count());
    nanosleep(&ts, nullptr); // a signal cuts it short, which is what a stop wants
}

int milliseconds(std::chrono::nanoseconds time)
{
    return static_cast<int>(
        std::max<std::int64_t>(1, std::chrono::ceil<std::chrono::milliseconds>(time).count()));
}

} // namespace

LineSender::LineSender(int fd, const SimulatorOptions &options)
    : m_fd(fd), m_pacing(options.pacing), m_baud(options.baud), m_rate(options.rate),
      m_speed(options.speed), m_count(options.count)
{
}

std::string LineSender::run(LineSource &source, const std::atomic<bool> &stop)
{
    const std::string error = m_pacing == SimulatorOptions::Pacing::Max
                                  ? runAsFastAsTaken(source, stop)
                                  : runPaced(source, stop);
    if (!error.empty()) {
        return error;
    }
    if (!stop) {
        finishBacklog(stop);
        waitForReader(stop);
    }
    return {};
}

std::string LineSender::runAsFastAsTaken(LineSource &source, const std::atomic<bool> &stop)
{
    m_buffer.reserve(kBlock + 64 * 1024);
    while (!stop) {
        if (!backlog()) {
            clearQueue();
            if (finished(source, m_tally.made)) {
                return {};
            }
            while (m_buffer.size() < kBlock && !finished(source, m_tally.made)) {
                const LineOutcome outcome = source.appendLine(m_buffer);
                m_marks.push_back({m_buffer.size(), outcome});
                ++m_tally.made;
            }
        }
        if (!writeOrWait(stop)) {
            return m_error;
        }
    }
    return {};
}

std::string LineSender::runPaced(LineSource &source, const std::atomic<bool> &stop)
{
    PacedLine next{{}, {}, 0, Clock::now()};
    bool haveNext = prepare(source, next);
    while (haveNext && !stop) {
        const Clock::time_point now = Clock::now();
        if (now < next.due) {
            if (!waitForDue(next.due - now, stop)) {
                return m_error;
            }
            continue;
        }
        if (now - next.due > 1s) {
            // After a stall (the machine suspended, say) go on from now rather than in a burst.
            next.due = now;
        }
        if (!sendDue(source, next, now, haveNext)) {
            return m_error;
        }
    }
    return {};
}

bool LineSender::prepare(LineSource &source, PacedLine &line)
{
    if (finished(source, line.prepared)) {
        return false;
    }
    line.text.clear();
    line.outcome = source.appendLine(line.text);
    ++line.prepared;
    line.due += lineTime(line.text.size(), source);
    return true;
}

bool LineSender::sendDue(LineSource &source, PacedLine &next, Clock::time_point now, bool &haveNext)
{
    // A line once started is finished before anything else goes out.
    if (backlog() && writeQueued() == WriteStatus::Failed) {
        return false;
    }
    const bool blocked = backlog();
    if (!blocked) {
        clearQueue();
    }
    while (haveNext && next.due <= now && m_buffer.size() < kBlock) {
        if (blocked) {
            ++m_tally.made; // on the wire while the reader's buffer is full: lost
        } else {
            queue(next.text, next.outcome);
        }
        haveNext = prepare(source, next);
    }
    if (blocked) {
        return true;
    }
    if (writeQueued() == WriteStatus::Failed) {
        return false;
    }
    dropUnstarted();
    return true;
}

bool LineSender::waitForDue(Clock::duration time, const std::atomic<bool> &stop)
{
    const auto wait = std::min<Clock::duration>(time, kLongestWait);
    if (!backlog()) {
        sleepFor(wait);
        return true;
    }
    waitWritable(wait, stop);
    return writeQueued() != WriteStatus::Failed;
}

LineSender::Clock::duration LineSender::lineTime(std::size_t bytes, const LineSource &source) const
{
    if (const double gap = source.recordedGap(); gap >= 0.0) {
        return std::chrono::duration_cast<Clock::duration>(
            std::chrono::duration<double>(std::min(gap / m_speed, kLongestGapSeconds)));
    }
    if (m_pacing == SimulatorOptions::Pacing::Rate) {
        return std::chrono::duration_cast<Clock::duration>(
            std::chrono::duration<double>(1.0 / m_rate));
    }
    // Start bit, eight data bits and a stop bit per character.
    const auto nanoseconds = static_cast<std::int64_t>(bytes) * 10 * 1'000'000'000LL / m_baud;
    return std::chrono::duration_cast<Clock::duration>(std::chrono::nanoseconds(nanoseconds));
}

void LineSender::queue(const std::string &line, LineOutcome outcome)
{
    m_buffer += line;
    m_marks.push_back({m_buffer.size(), outcome});
    ++m_tally.made;
}

void LineSender::clearQueue()
{
    m_buffer.clear();
    m_marks.clear();
    m_written = 0;
    m_nextMark = 0;
}

bool LineSender::writeOrWait(const std::atomic<bool> &stop)
{
    switch (writeQueued()) {
    case WriteStatus::Done:
        break;
    case WriteStatus::Full:
        waitWritable(kLongestWait, stop);
        break;
    case WriteStatus::Lost:
        // Nobody there to take it (a device gone away): keep it and try again shortly.
        sleepFor(10ms);
        break;
    case WriteStatus::Failed:
        return false;
    }
    return true;
}

LineSender::WriteStatus LineSender::writeQueued()
{
    WriteStatus status = WriteStatus::Done;
    while (m_written < m_buffer.size()) {
        const ssize_t n = ::write(m_fd, m_buffer.data() + m_written, m_buffer.size() - m_written);
        if (n > 0) {
            m_written += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n == 0 || errno == EAGAIN || errno == EWOULDBLOCK) {
            status = WriteStatus::Full;
        } else if (errno == EIO || errno == EPIPE) {
            status = WriteStatus::Lost;
        } else {
            m_error = std::string("cannot write: ") + std::strerror(errno);
            status = WriteStatus::Failed;
        }
        break;
    }
    while (m_nextMark < m_marks.size() && m_marks[m_nextMark].end <= m_written) {
        const LineOutcome &outcome = m_marks[m_nextMark].outcome;
        ++m_tally.sent;
        m_tally.acceptedInt += outcome.acceptedInt ? 1 : 0;
        m_tally.acceptedMcp += outcome.acceptedMcp ? 1 : 0;
        ++m_nextMark;
    }
    return status;
}

void LineSender::dropUnstarted()
{
    // Lines 0 .. m_nextMark-1 are out; the next one stays if part of it is.
    std::size_t keep = m_nextMark;
    const std::size_t lineStart = keep == 0 ? 0 : m_marks[keep - 1].end;
    if (keep < m_marks.size() && m_written > lineStart) {
        ++keep;
    }
    m_marks.resize(keep);
    m_buffer.resize(keep == 0 ? 0 : m_marks[keep - 1].end);
}

void LineSender::waitWritable(Clock::duration timeout, const std::atomic<bool> &stop)
{
    if (stop) {
        return;
    }
    pollfd fd{m_fd, static_cast<short>(POLLOUT | (m_readerFd >= 0 ? POLLIN : 0)), 0};
    if (poll(&fd, 1, milliseconds(timeout)) <= 0) {
        return;
    }
    if (fd.revents & POLLIN) {
        discardInput();
    }
    if ((fd.revents & POLLOUT) == 0 && (fd.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
        sleepFor(std::min<Clock::duration>(timeout, 10ms));
    }
}

void LineSender::finishBacklog(const std::atomic<bool> &stop)
{
    const Clock::time_point deadline = Clock::now() + kReaderPatience;
    while (backlog() && !stop && Clock::now() < deadline) {
        if (!writeOrWait(stop)) {
            return;
        }
    }
}

void LineSender::waitForReader(const std::atomic<bool> &stop)
{
    // Closing a pseudo-terminal hangs up its reader's end and throws away what is queued there,
    // so give a reader that is still taking lines the time to take the rest. The queue counts as
    // empty once it has stayed empty for a while: what is still on its way into it arrives
    // within microseconds of the reader making room.
    if (m_readerFd < 0) {
        return;
    }
    int last = -1;
    Clock::time_point changed = Clock::now();
    Clock::time_point emptySince = Clock::now();
    while (!stop) {
        int queued = 0;
        if (ioctl(m_readerFd, FIONREAD, &queued) != 0) {
            return;
        }
        const Clock::time_point now = Clock::now();
        if (queued != 0) {
            emptySince = now;
        } else if (now - emptySince >= 50ms) {
            return;
        }
        if (queued != last) {
            last = queued;
            changed = now;
        } else if (now - changed > kReaderPatience) {
            return;
        }
        sleepFor(5ms);
    }
}

void LineSender::discardInput()
{
    // Whatever a reader writes to the board is not listened to.
    char scratch[4096];
    while (::read(m_fd, scratch, sizeof scratch) > 0) {
    }
}

} // namespace adc
