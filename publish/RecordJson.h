#pragma once

#include "RecordObserver.h"
#include "RowFields.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace adc {

/// Gathers accepted records into one JSON message: a single record is an object, several are an
/// array of them, in the order they came:
///
///     {"time":"2026-12-07T08:15:02.123Z","seconds":0.052113,"run":1,"mode":"INT","count":1,
///      "ch0":512,"ch1":1.5,"ch2":1000,"ch3":null,"ch4":0,"ch5":0,"ch6":0,"ch7":0}
///
/// The fields are the recording's columns with the same meaning and the same text, written by
/// RowFields: `time` in UTC, `seconds` since the run's Start, `run` the run's number, `mode`
/// "INT" or "MCP3201", `count` the sample count, and one number per channel of the mode (an
/// MCP3201 record has `ch0` and `ch1` only); a value too large to draw is `null`, since JSON
/// has no infinity. Another board's channels are named as in the recording's header, and a
/// value its line did not give is `null` too.
class RecordJson {
public:
    /// Names the channels "ch0", "ch1", ... until setNames() is called.
    RecordJson();

    /// The records added from now on have channels named `names` (made safe as the recording's
    /// columns are: RecordingFormat::columnNames).
    void setNames(std::span<const std::string> names);
    /// The records added from now on were completed by characters taken at `stamp`.
    void setStamp(const Stamp &stamp) { m_fields.setStamp(stamp); }

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
    RowFields m_fields;
    /// Each channel's key with its quotes, colon and the comma before it: ,"temp":
    std::vector<std::string> m_keys;
    std::size_t m_records = 0;
    bool m_closed = false;
};

} // namespace adc
