#pragma once

#include "Display.h"
#include "StripChart.h"

#include <QColor>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <array>
#include <string>
#include <string_view>
#include <vector>

class QLineEdit;

namespace adc {

class FilledShape;

/// Shows an acquisition run in the window's controls, at most once per screen frame.
///
/// A run can deliver hundreds of thousands of records a second, far more than anyone can read,
/// so the operations only note what changed: the latest bytes of each box and the visible
/// segments in the order they came. A single-shot frame timer, started by the first change,
/// then sets the changed boxes (bytes shown as Latin-1 characters, from the first character on;
/// a box given the text it already shows is left alone, so it is not repainted), draws all noted
/// segments with one painter and paints the window. The first change after a quiet spell of a
/// frame or more is shown as soon as the run's turn ends; later ones wait until a frame has
/// passed since the last, so that the screen gets at most one frame per kFrameMilliseconds. The
/// running indicator changes at once.
class WindowDisplay : public QObject, public Display {
    Q_OBJECT

public:
    /// Shortest time between two frames.
    static constexpr int kFrameMilliseconds = 16;

    /// The indicator's colour while no run is going, and while one is.
    static QColor idleColour() { return QColor(192, 192, 192); }
    static QColor runningColour() { return QColor(0, 255, 0); }

    /// The widgets stay owned by the caller and must outlive this display.
    WindowDisplay(const std::array<QLineEdit *, kMaxChannels> &valueBoxes, QLineEdit *countBox,
                  FilledShape *indicator, StripChart *chart, QObject *parent = nullptr);

    void showValueText(int channel, std::string_view text) override;
    void resetValue(int channel) override;
    void showCount(std::string_view text) override;
    void markRunning() override;
    /// Brings what is pending to the screen and turns the indicator grey, without a message.
    void markWaiting() override;
    /// Notes the step's segment, unless it would show nothing.
    void drawStep(const Step &step) override;
    /// Brings what is pending to the screen and turns the indicator grey (the message is the
    /// run session's to tell).
    void runEnded(std::string_view message) override;

    /// Brings everything pending to the screen now, painting the window before it returns.
    void flush();
    /// Erases the chart, together with the segments that have not been drawn yet.
    void clearChart();
    /// Whether some change waits for the next frame.
    bool hasPending() const { return m_scheduled; }
    /// Segments waiting for the next frame.
    std::size_t pendingSegments() const { return m_segments.size(); }

private:
    struct Box {
        QLineEdit *edit = nullptr;
        std::string text;
        /// What the box showed when the program started.
        std::string startText;
        /// What the box shows, as bytes, unless the user has typed into it since.
        std::string shown;
        bool shownKnown = true;
        bool dirty = false;
    };

    void store(Box &box, std::string_view text);
    void schedule();

    std::array<Box, kMaxChannels> m_values;
    Box m_count;
    FilledShape *m_indicator;
    StripChart *m_chart;
    std::vector<StripChart::Segment> m_segments;
    QTimer m_frameTimer;
    /// Time since the last frame; not valid before the first.
    QElapsedTimer m_sinceFrame;
    bool m_scheduled = false;
};

} // namespace adc
