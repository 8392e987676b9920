#include "RunClock.h"

namespace adc {

ClockReading RunClock::now() const
{
    return {std::chrono::system_clock::now(), std::chrono::steady_clock::now()};
}

const RunClock &RunClock::system()
{
    static const RunClock clock;
    return clock;
}

} // namespace adc
