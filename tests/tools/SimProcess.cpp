#include "SimProcess.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char **environ;

namespace adc::test {

namespace {

using Clock = std::chrono::steady_clock;

int remainingMs(Clock::time_point deadline)
{
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<int>(std::max<std::int64_t>(0, left.count()));
}

} // namespace

SimProcess::SimProcess(const std::vector<std::string> &arguments)
{
    int out[2];
    int err[2];
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    std::vector<std::string> args{ADC_BOARD_SIM};
    args.insert(args.end(), arguments.begin(), arguments.end());
    std::vector<char *> argv;
    for (std::string &a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    const int rc = posix_spawn(&m_pid, ADC_BOARD_SIM, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    ::close(err[1]);
    m_out = out[0];
    m_err = err[0];
    if (rc != 0) {
        throw std::runtime_error("cannot start " ADC_BOARD_SIM);
    }
}

SimProcess::~SimProcess()
{
    if (!m_status && m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        int status = 0;
        waitpid(m_pid, &status, 0);
    }
    ::close(m_out);
    ::close(m_err);
}

std::optional<std::string> SimProcess::readLine(std::chrono::milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        if (const auto nl = m_outText.find('\n'); nl != std::string::npos) {
            std::string line = m_outText.substr(0, nl);
            m_outText.erase(0, nl + 1);
            return line;
        }
        pollfd fd{m_out, POLLIN, 0};
        if (poll(&fd, 1, remainingMs(deadline)) <= 0) {
            return std::nullopt;
        }
        char buffer[4096];
        const ssize_t n = ::read(m_out, buffer, sizeof buffer);
        if (n <= 0) {
            return std::nullopt;
        }
        m_outText.append(buffer, static_cast<std::size_t>(n));
    }
}

void SimProcess::signal(int signal)
{
    if (!m_status) {
        ::kill(m_pid, signal);
    }
}

std::optional<int> SimProcess::wait(std::chrono::milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    while (!m_status) {
        drainError(false);
        int status = 0;
        const pid_t done = waitpid(m_pid, &status, WNOHANG);
        if (done == m_pid) {
            m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            break;
        }
        if (Clock::now() >= deadline) {
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return m_status;
}

const std::string &SimProcess::errorText()
{
    drainError(m_status.has_value());
    return m_errText;
}

void SimProcess::drainError(bool toEnd)
{
    char buffer[4096];
    for (;;) {
        pollfd fd{m_err, POLLIN, 0};
        if (!toEnd && poll(&fd, 1, 0) <= 0) {
            return;
        }
        const ssize_t n = ::read(m_err, buffer, sizeof buffer);
        if (n <= 0) {
            return;
        }
        m_errText.append(buffer, static_cast<std::size_t>(n));
    }
}

SimResult runSimulator(const std::vector<std::string> &arguments, std::chrono::milliseconds timeout)
{
    SimProcess process(arguments);
    SimResult result;
    result.status = process.wait(timeout);
    while (const auto line = process.readLine(std::chrono::milliseconds(0))) {
        result.output += *line + "\n";
    }
    result.error = process.errorText();
    return result;
}

} // namespace adc::test
