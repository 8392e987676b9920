#pragma once

#include "ModeTable.h"
#include "RunClock.h"

#include <cstdint>
#include <span>
#include <string>

namespace adc {

/// A run as it begins: its mode, its number (from 1, as the recording counts runs, those
/// already in a file appended to included) and the clocks at its Start.
struct RunStart {
    Mode mode = Mode::Int;
    std::int64_t run = 0;
    ClockReading at;
};

/// When a block of characters was taken from the port: the clocks then, the time since the
/// run's Start in microseconds, and the run's number as of this block. Every record the block
/// completes carries this stamp, in every output.
struct Stamp {
    ClockReading at;
    std::int64_t micros = 0;
    std::int64_t run = 0;
};

/// One record the run has accepted, as the window shows it.
struct AcceptedRecord {
    Mode mode;
    /// The sample count after this record, as the counter box shows it.
    std::int64_t count;
    /// Each channel's value as the number rule reads it (the value the chart draws), one per
    /// channel named last (see RecordObserver::channelsNamed); +infinity where the value is too
    /// large for a double; NaN where the line gave none.
    std::span<const double> values;
};

/// A second reader of the run besides the window: told of every Start and, in order, of every
/// record the run accepts. Dropped lines never reach it. It keeps no clock and no run count of
/// its own: the run's Start and each block's stamp say when.
class RecordObserver {
public:
    virtual ~RecordObserver() = default;

    /// A run begins (its port is opened next), or the observer joins a run going.
    virtual void runStarted(const RunStart &start) = 0;
    /// The channels' names, in channel order: told after runStarted() (a board mode's are its
    /// recording columns, "ch0" ...) and again, before the record that first has them, whenever
    /// the lines of another board name their channels anew. Each record that follows has one
    /// value per name. A text run tells none until its lines have said how many channels there
    /// are.
    virtual void channelsNamed(std::span<const std::string> /*names*/) {}
    /// Characters have been taken from the port at `stamp`; the records they complete follow.
    virtual void charactersTaken(const Stamp & /*stamp*/) {}
    /// The run has accepted `record`; called after the display has been given it.
    virtual void recordAccepted(const AcceptedRecord &record) = 0;
    /// Every record the characters taken last complete has been told: an observer that gathers
    /// records may hand them on now.
    virtual void charactersDone() {}
};

} // namespace adc
