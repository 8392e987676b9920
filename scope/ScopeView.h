#pragma once

#include "HistoryStore.h"

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QTimer>
#include <QWidget>

#include <array>
#include <optional>
#include <vector>

namespace adc {

/// The scope's plot: the run's history drawn from its min/max index (one smallest and largest
/// value per pixel column and channel, whatever the length), with axes, a grid, a legend, the
/// values under the mouse and two markers.
///
/// Live, it follows the newest record with a time window (the wheel changes it); paused, it
/// stays still while records go on arriving. The wheel zooms in time around the mouse (with
/// Ctrl, in value), dragging pans, a double click fits the whole run; a click sets marker A, a
/// Shift+click marker B; a click on the legend hides or shows a channel. New records repaint it
/// at most ten times a second, and only when they move the view; the margins' text (legend,
/// value axis, titles) is kept drawn until what it shows changes.
class ScopeView : public QWidget {
    Q_OBJECT

public:
    using XAxis = HistoryStore::XAxis;
    /// How the value axis is chosen: the mode's full range, fitted to what is in view, or zoomed
    /// by the user (Ctrl+wheel).
    enum class ValueScale { Fixed, Fitted, Zoomed };

    /// The live window unless changed: 10 s, or 1000 records on the record axis.
    static constexpr double kDefaultWindowSeconds = 10.0;
    static constexpr double kDefaultWindowRecords = 1000.0;
    /// Shortest time between two paints caused by new records while live: the records of a
    /// 9600-baud line come about every 45 ms, so each paint moves the traces by one or two.
    static constexpr int kLiveRepaintMilliseconds = 100;

    explicit ScopeView(QWidget *parent = nullptr);

    /// Shows `history` (not owned; nullptr for none), live and fitted to its mode.
    void setHistory(const HistoryStore *history);
    const HistoryStore *history() const { return m_history; }
    /// Records have come into the history: the view is brought up to date at the next frame.
    void historyChanged();

    /// Whether the view follows the newest record.
    bool isLive() const { return m_live; }
    /// Pauses (the view stays where it is) or resumes (back to the live edge).
    void setLive(bool live);
    /// Records accepted since the view was paused.
    std::int64_t recordsSincePause() const;
    /// Shows the whole history (Home, a double click).
    void fitAll();

    XAxis xAxis() const { return m_xAxis; }
    void setXAxis(XAxis axis);
    ValueScale valueScale() const { return m_valueScale; }
    void setValueScale(ValueScale scale);
    bool channelShown(int channel) const { return !m_hidden[static_cast<std::size_t>(channel)]; }
    void setChannelShown(int channel, bool shown);

    /// The colour channel `channel` of `mode` is drawn in.
    static QColor channelColour(Mode mode, int channel);

    /// Where the traces are drawn, in the widget's pixels.
    QRect plotRect() const;
    /// The x (seconds since Start, or record number) shown now at the plot's left and right.
    std::pair<double, double> xRange() const;
    /// The value range shown now, bottom to top.
    std::pair<double, double> valueRange() const;
    /// The x at the widget's horizontal pixel `px`.
    double xAt(double px) const;
    /// The records in view: [first, second).
    std::pair<std::int64_t, std::int64_t> recordsInView() const;
    /// The markers' records, when set.
    std::optional<std::int64_t> markerA() const { return m_markerA; }
    std::optional<std::int64_t> markerB() const { return m_markerB; }

signals:
    /// The view started or stopped following the newest record.
    void liveChanged(bool live);
    /// Records came or the view moved: what the window says about it may have changed.
    void viewChanged();

protected:
    void paintEvent(QPaintEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    double xOf(std::int64_t record) const;
    std::pair<double, double> wholeRange() const;
    std::pair<double, double> fittedValues(double from, double to) const;
    double pixelOfX(double x, const QRect &plot, double from, double to) const;
    std::optional<std::int64_t> nearestRecord(double px) const;
    void freeze();
    void frameDue();
    QString xText(double x, double step) const;
    QString valueText(double v) const;
    void drawMargins(QPainter &p, const QRect &plot, double from, double to, double lo, double hi);
    void drawTimeAxis(QPainter &p, QPainter &inPlot, const QRect &plot, double from, double to);
    void drawValueAxis(QPainter *labels, QPainter *lines, const QRect &plot, double lo, double hi);
    void drawTraces(QPainter &inPlot, const QRect &plot, double from, double to, double lo,
                    double hi);
    void drawLegend(QPainter &p);
    void drawReadout(QPainter &p, const QRect &plot, double from, double to);

    const HistoryStore *m_history = nullptr;
    XAxis m_xAxis = XAxis::Seconds;
    ValueScale m_valueScale = ValueScale::Fixed;
    bool m_live = true;
    bool m_liveAll = false; ///< live, showing the whole run rather than the window
    double m_window = kDefaultWindowSeconds;
    double m_from = 0.0, m_to = 1.0;     ///< the x range while paused
    double m_low = 0.0, m_high = 1023.0; ///< the value range when zoomed
    std::int64_t m_endAtPause = 0;
    std::array<bool, kMaxChannels> m_hidden{};
    std::array<QRect, kMaxChannels> m_legendBoxes{};
    std::optional<std::int64_t> m_markerA, m_markerB;
    std::optional<QPoint> m_mouse;
    std::optional<QPoint> m_pressAt;
    bool m_dragged = false;
    double m_dragFrom = 0.0, m_dragTo = 0.0;
    QTimer m_frame;
    std::vector<std::int64_t> m_bounds; ///< the records of each pixel column, reused per paint
    QImage m_plotImage;                 ///< the plot area: grid and traces, drawn per paint
    std::vector<QRgb> m_columns;        ///< the traces of the plot area, column by column
    /// What the margins' image shows: it is drawn again only when one of these changes.
    struct MarginsKey {
        QSize size;
        qreal pixelRatio = 0.0;
        QString font;
        bool history = false;
        Mode mode = Mode::Int;
        std::int64_t run = 0;
        bool live = true;
        std::array<bool, kMaxChannels> hidden{};
        double low = 0.0, high = 0.0;
        XAxis axis = XAxis::Seconds;
        bool clock = false;
        bool operator==(const MarginsKey &) const = default;
    };
    MarginsKey m_marginsKey;
    QImage m_margins; ///< the whole widget but the plot and the time axis's tick labels
};

} // namespace adc
