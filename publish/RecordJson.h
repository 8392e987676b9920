#pragma once

#include "RecordObserver.h"
#include "RecordingFormat.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace adc {

/// Gathers accepted records into one JSON message: a single record is an object, several are an
/// array of them, in the order they came:
///
///     {"time":"2026-12-07T08:15:02.123Z","seconds":0.052113,"run":1,"mode":"INT","count":1,
///      "ch0":512,"ch1":1.5,"ch2":1000,"ch3":null,"ch4":0,"ch5":0,"ch6":0,"ch7":0}
///
/// The fields are the recording's columns with the same meaning and the same text: `time` in
/// UTC, `seconds` since the run's Start, `run` numbering the Starts from 1, `mode` "INT" or
/// "MCP3201", `count` the sample count, and one number per channel of the mode (an MCP3201
/// record has `ch0` and `ch1` only); a value too large to draw is `null`, since JSON has no
/// infinity.
class RecordJson {
public:
    using MonotonicClock = std::chrono::steady_clock;
    using WallClock = std::chrono::system_clock;

    /// A run begins at `start`; the runs are numbered from 1.
    void runStarted(MonotonicClock::time_point start);
    /// The records added from now on were completed by characters taken at these times.
    void setTime(WallClock::time_point wall, MonotonicClock::time_point monotonic);

    /// Adds `record` to the message.
    void add(const AcceptedRecord &record);
    /// Records in the message.
    std::size_t records() const { return m_records; }
    /// The message: empty, one object or an array of objects. Stays until clear().
    std::string_view message();
    /// Starts the next message.
    void clear();

private:
    std::string m_buffer = std::string(1, '[');
    MonotonicClock::time_point m_runStart{};
    MonotonicClock::time_point m_takenAt{};
    WallClock::time_point m_takenAtWall{};
    std::int64_t m_run = 0;
    std::size_t m_records = 0;
    bool m_closed = false;
};

} // namespace adc
