#pragma once

#include "Display.h"
#include "LineFramer.h"
#include "LineMonitor.h"
#include "LineReader.h"
#include "LineSettings.h"
#include "ModeTable.h"
#include "RecordFramer.h"
#include "RecordObserver.h"
#include "RecordParser.h"
#include "RunClock.h"
#include "SerialControl.h"
#include "WireLog.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace adc {

/// What a start button does: opens the board's port, marks the window as running and then turns
/// every record that arrives into value texts, the sample count and one step per channel.
///
/// The run reads its clock once at Start and once per block of characters: the observers get
/// the Start and each block's stamp, and the line monitor the block's time.
///
/// In a board mode the run frames the board's records; in a format of other boards it cuts the
/// characters into lines and reads them with the format's LineReader: a line taken counts as a
/// record and goes to the observers with the channels' names before it, and the display is told
/// the count and the run's state only (the board's value boxes and chart are not its). Every
/// line, in every mode, goes to the wire log (when there is one) with what became of it.
///
/// The run never waits: service() works on what has arrived, at most a bounded amount per call,
/// and returns so that the window's event loop goes on. The caller calls it again when the port
/// says characters are waiting, or at once when service() says more is left.
class AcquisitionRun {
public:
    /// Characters worked on per service() call at most, so that a flood cannot freeze the window.
    static constexpr std::size_t kDefaultBudget = 64 * 1024;

    AcquisitionRun(Mode mode, SerialControl &port, Display &display);

    /// The line the next start() asks of the port; 9600 baud unless set.
    void setLineSettings(const LineSettings &settings) { m_settings = settings; }
    /// The line the run gives the port.
    const LineSettings &lineSettings() const { return m_settings; }

    /// Where the run reads the time (the system's clocks unless set); `clock` must outlive it.
    void setClock(const RunClock &clock) { m_clock = &clock; }
    /// Where every line read goes with its verdict (none: nullptr); `wire` must outlive the run.
    void setWireLog(WireLog *wire) { m_wire = wire; }
    /// How many values each CSV line carries (1 .. kMaxTextChannels), or 0 to take the count
    /// from the first line of numbers; set before start(). Other modes have no use for it.
    void setChannelCount(int channels);

    /// Tells the observer that run number `number` begins, runs the start sequence on the port
    /// and marks the window as running. Returns false when the port refuses a step; the port is
    /// then closed and the display told why.
    bool start(std::int64_t number = 1);
    /// The run's mode, number and Start, as the observer was told them.
    const RunStart &runStart() const { return m_start; }
    /// Gives the run the number `number` from the next block of characters on.
    void renumber(std::int64_t number) { m_start.run = number; }

    /// Reads and works on up to `budget` waiting characters. Returns true when characters are
    /// still waiting, so that the caller should come back soon.
    bool service(std::size_t budget = kDefaultBudget);

    /// Works on characters as if they had come from the port (for the run's own loop, and for
    /// feeding it directly).
    void process(std::string_view characters);

    /// Ends the run because the port failed: closes the port and tells the display `message`.
    void fail(std::string_view message);

    /// Ends the run without a message (the port is closed if open).
    void stop();

    /// The port was lost, but the run is to go on once the device is back: closes the port,
    /// drops the partly framed record and turns the indicator grey. The count, the chart
    /// position and the last ordinates stay, so the next record carries on where this one left.
    void suspend();
    /// Opens the port again with the same start sequence and goes on. Returns false (and stays
    /// suspended, the port closed) when the port refuses a step; its errorText() tells why.
    bool resume();
    /// Whether the run waits for its device to come back (it is still running()).
    bool suspended() const { return m_suspended; }
    /// Tells `observer` (none: nullptr) of every Start and every accepted record from now on.
    void setObserver(RecordObserver *observer) { m_observer = observer; }

    bool running() const { return m_running; }
    Mode mode() const { return m_mode.mode; }
    /// Records accepted so far (for other boards, lines taken).
    std::int64_t count() const { return m_count; }
    /// The channels' names as the observers were told them last; empty before a text run's
    /// lines have said how many channels there are.
    std::span<const std::string> channelNames() const { return m_names; }
    /// Lines dropped since Start: a wrong tag, too few fields or too long (the other mode's
    /// records are not among them; line() counts them apart).
    std::int64_t droppedRecords() const;
    /// What the line looks like: drops by reason and the other mode's records.
    const LineMonitor &line() const { return m_line; }
    /// The line's rate and the likely cause of a quiet line, now.
    LineMonitor::State lineNow() const { return m_line.stateAt(m_clock->now().monotonic); }

private:
    bool openPort();
    void processRecords(std::string_view characters);
    LineVerdict frameRecords(std::string_view segment);
    void processLines(std::string_view characters);
    LineVerdict accept(std::string &record);
    void acceptLine();
    void countOne();
    void resetFramers();

    const ModeInfo &m_mode;
    SerialControl &m_port;
    Display &m_display;
    RecordFramer m_framer;
    /// Cuts every mode's characters into the lines the wire log shows and text formats read.
    LineFramer m_lines;
    /// The format's reader of other boards' lines; none in a board mode.
    std::unique_ptr<LineReader> m_reader;
    WireLog *m_wire = nullptr;
    std::vector<std::string> m_names;
    std::string_view m_otherTagHead;
    LineMonitor m_line;
    std::array<Colour, kMaxChannels> m_colours{};
    RecordParser::ValueTexts m_texts{};
    OrdinateTable m_current{};
    OrdinateTable m_previous{};
    RecordParser::Values m_values{};
    RecordObserver *m_observer = nullptr;
    const RunClock *m_clock = &RunClock::system();
    RunStart m_start;
    std::int64_t m_count = 0;
    LineSettings m_settings;
    bool m_running = false;
    bool m_suspended = false;
};

} // namespace adc
