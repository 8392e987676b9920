#include "BrokerPassword.h"
#include "MqttText.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace adc {

namespace {

using Clock = std::chrono::steady_clock;

enum class Outcome { Ready, TooLong, TimedOut, Interrupted, Failed };

/// While it lives, SIGINT, SIGTERM and SIGHUP are held back on this thread and can be waited
/// for; one that came is delivered when it goes.
class HeldExitSignals {
public:
    HeldExitSignals()
    {
        sigset_t signals;
        sigemptyset(&signals);
        for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
            sigaddset(&signals, signal);
        }
        ::pthread_sigmask(SIG_BLOCK, &signals, &m_before);
        m_fd = ::signalfd(-1, &signals, SFD_CLOEXEC | SFD_NONBLOCK);
    }
    ~HeldExitSignals()
    {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
        ::pthread_sigmask(SIG_SETMASK, &m_before, nullptr);
    }
    HeldExitSignals(const HeldExitSignals &) = delete;
    HeldExitSignals &operator=(const HeldExitSignals &) = delete;

    /// Waits until `fd` can be read, `deadline` passes or an exit signal comes.
    Outcome await(int fd, Clock::time_point deadline) const
    {
        for (;;) {
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
            pollfd fds[] = {{fd, POLLIN, 0}, {m_fd, POLLIN, 0}};
            const int ready = left > 0 ? ::poll(fds, m_fd >= 0 ? 2 : 1, static_cast<int>(left)) : 0;
            if (ready == 0) {
                return Outcome::TimedOut;
            }
            if (ready > 0) {
                return fds[1].revents != 0 ? Outcome::Interrupted : Outcome::Ready;
            }
            if (errno != EINTR) {
                return Outcome::Failed;
            }
        }
    }

private:
    sigset_t m_before{};
    int m_fd = -1;
};

/// Reads `fd` into `line` up to its first line end, its end or one byte over the longest
/// password; a pipe until `deadline` at most.
Outcome readLine(int fd, bool pipe, Clock::time_point deadline, std::string &line)
{
    std::optional<HeldExitSignals> signals;
    if (pipe) {
        signals.emplace();
    }
    char buffer[4096];
    while (line.find('\n') == line.npos && line.size() <= MqttText::kLongest) {
        if (signals) {
            if (const Outcome ready = signals->await(fd, deadline); ready != Outcome::Ready) {
                return ready;
            }
        }
        const std::size_t wanted = std::min(sizeof buffer, MqttText::kLongest + 1 - line.size());
        const ssize_t got = ::read(fd, buffer, wanted);
        if (got == 0) {
            break;
        }
        if (got > 0) {
            line.append(buffer, static_cast<std::size_t>(got));
        } else if (errno != EINTR && errno != EAGAIN) {
            return Outcome::Failed;
        }
    }
    line.resize(std::min(line.find('\n'), line.size()));
    while (line.ends_with('\r')) {
        line.pop_back();
    }
    return line.size() > MqttText::kLongest ? Outcome::TooLong : Outcome::Ready;
}

/// Why the password cannot come from a file of `mode`; empty when it can.
std::string refusedKind(mode_t mode)
{
    if (S_ISREG(mode) || S_ISFIFO(mode)) {
        return {};
    }
    return S_ISDIR(mode) ? "it is a folder" : "it is neither a regular file nor a pipe";
}

std::string tooLong(const std::string &where)
{
    return "The password in " + where + " is longer than " + std::to_string(MqttText::kLongest) +
           " bytes, the most MQTT takes.";
}

} // namespace

std::optional<std::string> BrokerPassword::readFile(const std::string &path, std::string &error,
                                                    std::chrono::milliseconds wait)
{
    const bool standardInput = path == "-";
    const std::string where =
        standardInput ? "standard input" : "the password file " + MqttText::shown(path);
    // Not opened for writing, so a FIFO that no one writes does not hold up the opening.
    const int fd = standardInput
                       ? STDIN_FILENO
                       : ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        error = "Cannot read " + where + ": " + std::strerror(errno) + ".";
        return std::nullopt;
    }
    struct stat info {};
    std::string why = ::fstat(fd, &info) == 0 ? refusedKind(info.st_mode) : std::strerror(errno);
    std::string line;
    Outcome outcome = Outcome::Failed;
    if (why.empty()) {
        outcome = readLine(fd, S_ISFIFO(info.st_mode), Clock::now() + wait, line);
        why = outcome == Outcome::Failed ? std::strerror(errno) : std::string();
    }
    if (!standardInput) {
        ::close(fd);
    }
    switch (outcome) {
    case Outcome::Ready:
        return line;
    case Outcome::TooLong:
        error = tooLong(where);
        break;
    case Outcome::TimedOut:
        error = "No password came from " + where + " within " +
                std::to_string(std::chrono::ceil<std::chrono::seconds>(wait).count()) + " seconds.";
        break;
    case Outcome::Interrupted:
        error = "Stopped waiting for the password from " + where + ".";
        break;
    case Outcome::Failed:
        error = "Cannot read the password from " + where + ": " + why + ".";
        break;
    }
    return std::nullopt;
}

std::optional<std::string> BrokerPassword::find(const PublishSettings &settings, std::string &error)
{
    const char *variable = std::getenv(kVariable);
    if (settings.passwordFile.empty() && variable == nullptr) {
        return std::nullopt;
    }
    const std::string source = settings.passwordFile.empty()
                                   ? std::string(kVariable)
                                   : std::string("--publish-password-file FILE");
    if (settings.target.user.empty()) {
        error = source + " goes with a user name in the URL: mqtt://USER@HOST/TOPIC.";
        return std::nullopt;
    }
    if (!settings.passwordFile.empty()) {
        return readFile(settings.passwordFile, error);
    }
    if (std::strlen(variable) > MqttText::kLongest) {
        error = tooLong(kVariable);
        return std::nullopt;
    }
    return std::string(variable);
}

} // namespace adc
