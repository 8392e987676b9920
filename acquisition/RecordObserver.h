#pragma once

#include "ModeTable.h"

#include <cstdint>
#include <span>

namespace adc {

/// One record the run has accepted, as the window shows it.
struct AcceptedRecord {
    Mode mode;
    /// The sample count after this record, as the counter box shows it.
    std::int64_t count;
    /// Each channel's value as the number rule reads it (the value the chart draws), one per
    /// channel of the mode; +infinity where the value is too large for a double.
    std::span<const double> values;
};

/// A second reader of the run besides the window: told of every Start and, in order, of every
/// record the run accepts. Dropped lines never reach it.
class RecordObserver {
public:
    virtual ~RecordObserver() = default;

    /// A Start button was clicked: a run in `mode` begins (its port is opened next).
    virtual void runStarted(Mode mode) = 0;
    /// Characters have been taken from the port; the records they complete follow. An observer
    /// that needs the time reads its clock here, once per block rather than once per record.
    virtual void charactersTaken() {}
    /// The run has accepted `record`; called after the display has been given it.
    virtual void recordAccepted(const AcceptedRecord &record) = 0;
    /// Every record the characters taken last complete has been told: an observer that gathers
    /// records may hand them on now.
    virtual void charactersDone() {}
};

} // namespace adc
