#pragma once

#include "HistoryStore.h"
#include "PlotPainter.h"
#include "PlotState.h"
#include "Trigger.h"

#include <QPoint>
#include <QRect>
#include <QTimer>
#include <QWidget>

#include <optional>

namespace adc {

/// The scope's plot: the run's history as a PlotState shows it and a PlotPainter draws it.
///
/// Live, it follows the newest record with a time window (the wheel changes it); paused, it
/// stays still while records go on arriving. The wheel zooms in time around the mouse (with
/// Ctrl, in value), dragging pans, a double click fits the whole run; a click sets marker A, a
/// Shift+click marker B; a click on the legend hides or shows a channel. New records repaint it
/// at most ten times a second, and only where they move the view.
///
/// With a trigger, the live view holds the stretch around the last trigger (the trigger's
/// length follows the window the wheel sets); the trigger's level is a handle on the value axis
/// that can be dragged.
class ScopeView : public QWidget {
    Q_OBJECT

public:
    using XAxis = PlotState::XAxis;
    using ValueScale = PlotState::ValueScale;

    /// Shortest time between two paints caused by new records while live: the records of a
    /// 9600-baud line come about every 45 ms, so each paint moves the traces by one or two.
    static constexpr int kLiveRepaintMilliseconds = 100;

    explicit ScopeView(QWidget *parent = nullptr);

    /// What the view shows: its ranges, the records in view, the markers.
    const PlotState &state() const { return m_state; }
    /// Shows `history` (not owned; nullptr for none), live, as a new run.
    void setHistory(const HistoryStore *history);
    /// Records have come into the history: the view is brought up to date at the next frame;
    /// a new run is shown live, without the last run's zoom and markers.
    void historyChanged();

    /// Pauses (the view stays where it is) or resumes (back to the live edge).
    void setLive(bool live);
    /// Shows the whole history (Home, a double click).
    void fitAll();
    void setXAxis(XAxis axis);
    void setValueScale(ValueScale scale);
    void setChannelShown(int channel, bool shown);
    /// What the plot says while it has no records.
    void setEmptyText(const QString &text);
    /// The channels' names and units.
    void setChannelUnits(const ChannelUnits &units);
    /// Whether the history grows (a run) or not (a recording, never "PAUSED").
    void setGrowing(bool growing);

    /// Turns the trigger on with `settings` (its level in counts; its length is the window's),
    /// or off (none).
    void setTrigger(const std::optional<Trigger::Settings> &settings);
    const std::optional<Trigger::Settings> &triggerSettings() const { return m_triggerSettings; }
    /// Single: waits for the next trigger.
    void armTrigger();

    /// Where the traces are drawn, in the widget's pixels.
    QRect plotRect() const { return PlotPainter::plotRect(size()); }

signals:
    /// The view started or stopped following the newest record.
    void liveChanged(bool live);
    /// The view moved (or its channels, markers or units changed): what the window says about
    /// it may have changed.
    void viewChanged();
    /// Records came (told at most once a frame).
    void recordsCame();
    /// The trigger's level was dragged to `level` (counts).
    void triggerLevelDragged(double level);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    void moved(bool wasLive);
    void frameDue();
    void updateLiveRegion();
    std::optional<int> scrollColumns() const;
    bool followTrigger();
    bool onLevelHandle(QPoint at) const;
    void restartTrigger();

    PlotState m_state;
    PlotPainter m_painter;
    QTimer m_frame;
    std::optional<QPoint> m_mouse;
    std::optional<QPoint> m_pressAt;
    bool m_dragged = false;
    /// The plot as last painted: whether all of it was, its area and ranges, and the history's
    /// end then.
    struct Painted {
        bool whole = false;
        PlotState::Area area;
        double from = 0, to = 0, lo = 0, hi = 0;
        std::int64_t end = 0;
    };
    Painted m_painted;
    bool m_scrolled = false;
    bool m_draggingLevel = false;
    Trigger m_trigger;
    std::optional<Trigger::Settings> m_triggerSettings;
};

} // namespace adc
