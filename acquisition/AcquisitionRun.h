#pragma once

#include "Display.h"
#include "LineMonitor.h"
#include "LineSettings.h"
#include "ModeTable.h"
#include "RecordFramer.h"
#include "RecordObserver.h"
#include "RecordParser.h"
#include "SerialControl.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace adc {

/// What a start button does: opens the board's port, marks the window as running and then turns
/// every record that arrives into value texts, the sample count and one segment per channel.
///
/// The run never waits: service() works on what has arrived, at most a bounded amount per call,
/// and returns so that the window's event loop goes on. The caller calls it again when the port
/// says characters are waiting, or at once when service() says more is left.
class AcquisitionRun {
public:
    /// Horizontal step of the chart per record, in twips.
    static constexpr std::int64_t kSegmentStep = 25;
    /// Characters worked on per service() call at most, so that a flood cannot freeze the window.
    static constexpr std::size_t kDefaultBudget = 64 * 1024;

    AcquisitionRun(Mode mode, SerialControl &port, Display &display);

    /// The line the next start() asks of the port; 9600 baud unless set.
    void setLineSettings(const LineSettings &settings) { m_settings = settings; }
    /// The line the run gives the port.
    const LineSettings &lineSettings() const { return m_settings; }

    /// Runs the start sequence on the port and marks the window as running. Returns false when
    /// the port refuses a step; the port is then closed and the display told why.
    bool start();

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
    /// Records accepted so far.
    std::int64_t count() const { return m_count; }
    /// Where the next segments begin, in twips.
    std::int64_t plotPosition() const { return m_plotPosition; }
    /// Lines dropped since Start: a wrong tag, too few fields or too long (the other mode's
    /// records are not among them; line() counts them apart).
    std::int64_t droppedRecords() const;
    /// What the line looks like: rate, drops by reason and the likely cause of a quiet line.
    LineMonitor &line() { return m_line; }
    const LineMonitor &line() const { return m_line; }

private:
    bool openPort();
    void accept(std::string &record);

    const ModeInfo &m_mode;
    SerialControl &m_port;
    Display &m_display;
    RecordFramer m_framer;
    std::string_view m_otherTagHead;
    LineMonitor m_line;
    std::array<Colour, kMaxChannels> m_colours{};
    RecordParser::ValueTexts m_texts{};
    OrdinateTable m_current{};
    OrdinateTable m_previous{};
    RecordParser::Values m_values{};
    RecordObserver *m_observer = nullptr;
    std::int64_t m_count = 0;
    std::int64_t m_plotPosition = 0;
    LineSettings m_settings;
    bool m_running = false;
    bool m_suspended = false;
};

} // namespace adc
