#pragma once

#include "RecordObserver.h"
#include "RunClock.h"

#include <chrono>

namespace adc::test {

/// A clock that moves only when the test moves it: both clocks at once, or the wall clock alone
/// (a clock set during a run).
class ManualClock : public RunClock {
public:
    /// 2026-12-07T08:15:02.123Z on the wall clock.
    static constexpr auto kMorning = std::chrono::sys_days{std::chrono::year{2026} / 12 / 7} +
                                     std::chrono::hours(8) + std::chrono::minutes(15) +
                                     std::chrono::seconds(2) + std::chrono::milliseconds(123);

    ClockReading now() const override { return m_now; }
    void advance(std::chrono::microseconds time)
    {
        m_now.wall += time;
        m_now.monotonic += time;
    }
    void setWall(std::chrono::system_clock::time_point wall) { m_now.wall = wall; }

    /// The Start of run `run` in `mode` now.
    RunStart startOf(Mode mode, std::int64_t run) const { return {mode, run, m_now}; }
    /// The stamp of a block taken now in the run that began at `start`.
    Stamp stampIn(const RunStart &start) const
    {
        const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(
            m_now.monotonic - start.at.monotonic);
        return {m_now, micros.count(), start.run};
    }

private:
    ClockReading m_now{std::chrono::system_clock::time_point(kMorning),
                       std::chrono::steady_clock::time_point(std::chrono::seconds(1000))};
};

} // namespace adc::test
