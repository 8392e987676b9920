#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace adc::test {

/// The simulator run as a child process, its standard output and error on pipes.
class SimProcess {
public:
    /// Starts the simulator with `arguments`.
    explicit SimProcess(const std::vector<std::string> &arguments);
    /// Kills the process if it still runs.
    ~SimProcess();
    SimProcess(const SimProcess &) = delete;
    SimProcess &operator=(const SimProcess &) = delete;

    /// The next line of standard output, without its line feed; none if it does not come in
    /// time.
    std::optional<std::string> readLine(std::chrono::milliseconds timeout);

    /// Sends `signal` to the process.
    void signal(int signal);

    /// Waits for the process to end; its exit status, or none if it still runs after
    /// `timeout`. A process ended by a signal gives 128 + the signal's number.
    std::optional<int> wait(std::chrono::milliseconds timeout);

    /// Everything the process wrote to standard error (read to the end once it has ended).
    const std::string &errorText();

private:
    void drainError(bool toEnd);

    pid_t m_pid = -1;
    int m_out = -1;
    int m_err = -1;
    std::string m_outText;
    std::string m_errText;
    std::optional<int> m_status;
};

/// Runs the simulator to the end (at most `timeout`) and gives its exit status and standard
/// error.
struct SimResult {
    std::optional<int> status;
    std::string output;
    std::string error;
};
SimResult runSimulator(const std::vector<std::string> &arguments,
                       std::chrono::milliseconds timeout = std::chrono::seconds(20));

} // namespace adc::test
