#pragma once

#include <chrono>

namespace adc {

/// The wall clock and the monotonic clock, read together.
struct ClockReading {
    std::chrono::system_clock::time_point wall;
    std::chrono::steady_clock::time_point monotonic;
};

/// Where a run reads the time: once at its Start and once per block of characters, so that
/// every output of a record shows the same time. The system's clocks unless a test gives its
/// own.
class RunClock {
public:
    virtual ~RunClock() = default;

    /// Both clocks now.
    virtual ClockReading now() const;

    /// The system's clocks.
    static const RunClock &system();
};

} // namespace adc
