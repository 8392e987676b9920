#pragma once

#include "AxisTicks.h"
#include "ChannelUnits.h"
#include "HistoryStore.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace adc {

/// What the scope's plot shows of a history, apart from drawing it: the x range (following the
/// newest record while live, still while paused), the value range (the board's, fitted to what
/// is in view, or zoomed), the channels shown and the markers; and where an x, a value or a
/// record lies on the plot's pixels.
///
/// The ends of the x range fall on the middles of the first and last pixel columns, and the
/// ends of the value range on the middles of the bottom and top rows, so that every record in
/// view is drawn, the first and the last included. Zoom and markers belong to a run: a new run
/// is shown live, at the value scale chosen before any zoom, without markers.
class PlotState {
public:
    using XAxis = HistoryStore::XAxis;
    /// How the value axis is chosen: the mode's full range, fitted to what is in view, or
    /// zoomed by the user.
    enum class ValueScale { Fixed, Fitted, Zoomed };
    enum class Marker { A, B };

    /// Where the traces go, in pixels: `width` columns from `left`, `height` rows from `top`.
    struct Area {
        int left = 0;
        int top = 0;
        int width = 1;
        int height = 1;
    };
    /// The plot's pixels against x and values, as the view is now (taken once per paint).
    class Mapping {
    public:
        Mapping(const Area &area, std::pair<double, double> x, std::pair<double, double> values);
        const Area area;
        const double from, to; ///< the x range
        const double lo, hi;   ///< the value range
        /// The horizontal pixel (the middle of its column) of `x`, and the x at pixel `px`.
        double pixelOfX(double x) const { return m_x0 + (x - from) * m_xScale; }
        double xAt(double px) const { return from + (px - m_x0) / m_xScale; }
        /// The vertical pixel (the middle of its row) of value `v`, and the value at `py`.
        double pixelOfValue(double v) const { return m_y0 + (hi - v) * m_yScale; }
        double valueAt(double py) const { return hi - (py - m_y0) / m_yScale; }

    private:
        const double m_x0, m_xScale; ///< the first column's middle, and pixels per x
        const double m_y0, m_yScale; ///< the top row's middle, and pixels per value
    };

    /// The live window unless changed: 10 s, or 1000 records on the record axis.
    static constexpr double kDefaultWindowSeconds = 10.0;
    static constexpr double kDefaultWindowRecords = 1000.0;

    /// The largest value a mode's board sends: the fixed value axis runs from 0 to it.
    static double fullScale(Mode mode);

    /// Shows `history` (not owned; nullptr for none) as a new run.
    void setHistory(const HistoryStore *history);
    const HistoryStore *history() const { return m_history; }
    /// Records came. When a new run has begun, the last run's zoom and markers go and the view
    /// is live again: true then.
    bool followRun();

    void setArea(const Area &area) { m_area = area; }
    const Area &area() const { return m_area; }

    bool isLive() const { return m_live; }
    /// Pauses (the x range stays where it is) or resumes; true when that changed anything.
    bool setLive(bool live);
    /// Records accepted since the view was paused.
    std::int64_t recordsSincePause() const;
    /// Shows the whole history; live, the window then grows with the run.
    void fitAll();
    /// Pauses on records [first, last) of the history (as fitAll() shows the whole of it).
    void showRecords(std::int64_t first, std::int64_t last);

    XAxis xAxis() const { return m_xAxis; }
    /// Another x axis, with the same records in view.
    void setXAxis(XAxis axis);
    ValueScale valueScale() const { return m_valueScale; }
    void setValueScale(ValueScale scale);
    bool channelShown(int channel) const { return !m_hidden[static_cast<std::size_t>(channel)]; }
    void setChannelShown(int channel, bool shown);
    const std::array<bool, HistoryStore::kMaxStoreChannels> &hiddenChannels() const
    {
        return m_hidden;
    }

    /// The x (seconds since Start, or record number) shown at the plot's left and right.
    std::pair<double, double> xRange() const;
    /// The value range shown, bottom to top.
    std::pair<double, double> valueRange() const;
    /// The records in view: [first, second).
    std::pair<std::int64_t, std::int64_t> recordsInView() const;
    /// The records whose x lies in [from, to].
    std::pair<std::int64_t, std::int64_t> recordsIn(double from, double to) const;
    /// Live, the x range moves in whole pixel columns (its right edge at most a column past the
    /// newest record), so that a plot drawn before can be moved by whole pixels and only its
    /// new columns drawn.
    void setPixelSteps(bool steps) { m_pixelSteps = steps; }
    /// The x of record `i` of the history.
    double xOf(std::int64_t record) const;

    /// The ranges shown now on the area's pixels.
    Mapping mapping() const;
    /// The record nearest to the horizontal pixel `px`, if any.
    std::optional<std::int64_t> nearestRecord(double px) const;
    /// The records of each pixel column: column c holds [bounds[c], bounds[c + 1]); together
    /// they are the records in view. With many records per column, the edges between columns
    /// go to whole blocks of the history's index (a fraction of a column).
    void columnRecords(std::vector<std::int64_t> &bounds) const;

    /// The wheel in time at `px`: live, the window grows or shrinks by `factor` with its right
    /// edge at the newest record; paused, the x under `px` stays there.
    void zoomTime(double px, double factor);
    /// The wheel in value at `py`: the value under it stays there.
    void zoomValues(double py, double factor);
    /// A drag begins: panBy() moves from the range shown now.
    void beginPan();
    /// Moves the range of beginPan() by `dx` pixels (pausing the view).
    void panBy(double dx);

    std::optional<std::int64_t> marker(Marker which) const;
    void setMarker(Marker which, std::int64_t record);

    /// A stretch of records held still while live (a trigger's), and its trigger point.
    struct Held {
        std::int64_t start = 0;
        std::int64_t end = 0;
        std::optional<std::int64_t> trigger;
        bool operator==(const Held &) const = default;
    };
    /// Live, the view shows `held` rather than the newest records (none: the newest again).
    /// Paused, zoomed or panned, it stays on what was held when it was paused.
    void hold(const std::optional<Held> &held) { m_held = held; }
    const std::optional<Held> &held() const { return m_held; }
    /// A level of one channel marked across the plot and on the value axis (a trigger's, in
    /// counts); none: no mark.
    struct Level {
        int channel = 0;
        double value = 0;
        bool operator==(const Level &) const = default;
    };
    void setLevelMark(const std::optional<Level> &level) { m_level = level; }
    const std::optional<Level> &levelMark() const { return m_level; }
    /// About how many records the live window holds, at the run's pace so far (at least 2).
    std::int64_t windowRecords() const;

    /// The channels' names and units (they stay from run to run).
    const ChannelUnits &units() const { return m_units; }
    void setUnits(const ChannelUnits &units) { m_units = units; }
    /// What channel `channel` is called: the user's name, else the run's.
    std::string channelName(int channel) const;
    /// A shown channel whose units the value axis reads in, when every shown channel reads the
    /// same units and they are not counts; none: the axis is in counts.
    std::optional<int> axisUnitsChannel() const;
    /// About `count` ticks over the value range of `m`, placed at raw values, labelled in the
    /// units of axisUnitsChannel() (or counts).
    std::vector<AxisTicks::Tick> valueTicks(const Mapping &m, int count) const;

private:
    std::pair<double, double> wholeRange() const;
    std::pair<double, double> heldRange() const;
    std::pair<double, double> rangeOf(std::int64_t first, std::int64_t last) const;
    std::pair<double, double> fittedValues() const;
    void forgetRun();

    const HistoryStore *m_history = nullptr;
    Area m_area;
    XAxis m_xAxis = XAxis::Seconds;
    ValueScale m_valueScale = ValueScale::Fixed;
    ValueScale m_chosenScale = ValueScale::Fixed; ///< the scale before any zoom
    bool m_live = true;
    bool m_liveAll = false; ///< live, showing the whole run rather than the window
    bool m_pixelSteps = false;
    double m_window = kDefaultWindowSeconds;
    double m_from = 0.0, m_to = 1.0;     ///< the x range while paused
    double m_low = 0.0, m_high = 1023.0; ///< the value range when zoomed
    double m_panFrom = 0.0, m_panTo = 1.0;
    std::int64_t m_endAtPause = 0;
    std::array<bool, HistoryStore::kMaxStoreChannels> m_hidden{};
    std::optional<std::int64_t> m_markerA, m_markerB;
    ChannelUnits m_units;
    std::optional<Held> m_held;
    std::optional<Level> m_level;
    /// The run shown: a new number, Start or mode, or fewer records, is a new run.
    struct RunKey {
        std::int64_t run = 0;
        std::chrono::system_clock::time_point start{};
        Mode mode = Mode::Int;
        bool operator==(const RunKey &) const = default;
    };
    RunKey runKey() const;
    RunKey m_runKey;
    std::int64_t m_seenEnd = 0;
};

} // namespace adc
