#pragma once

#include "Display.h"
#include "ModeTable.h"

#include <QFrame>
#include <QImage>

class QPainter;

#include <algorithm>
#include <cstdint>
#include <span>

namespace adc {

/// The plot area: a white interior inside a sunken border, on which the run draws its traces.
///
/// Coordinates are twips from the interior's top-left corner, 15 twips to the pixel; a twip
/// coordinate t lies in pixel floor(t / 15). Each record moves the traces kRecordStepTwips to
/// the right. The drawing is kept in an image, so a window that
/// covers the chart and goes away again leaves the traces as they were. Nothing scrolls, wraps
/// or rescales: what lies outside the interior is cut off.
///
/// In sweep mode (off unless asked for) the chart runs like an oscilloscope: a segment is drawn
/// whole sweeps further left, so that it starts within the first sweep, and a narrow band ahead
/// of the pen is erased, so the last sweep stays in view and the newest records stand apart
/// from the oldest. No segment ever runs from the right edge back to the left.
class StripChart : public QFrame {
    Q_OBJECT

public:
    static constexpr int kTwipsPerPixel = 15;
    /// Size of the interior in twips and in pixels.
    static constexpr int kInteriorWidthTwips = 7815;
    static constexpr int kInteriorHeightTwips = 4155;
    static constexpr int kInteriorWidth = kInteriorWidthTwips / kTwipsPerPixel;
    static constexpr int kInteriorHeight = kInteriorHeightTwips / kTwipsPerPixel;
    /// Width of the sunken border, in pixels.
    static constexpr int kBorderWidth = 2;

    /// Horizontal step of the traces per record, in twips.
    static constexpr std::int64_t kRecordStepTwips = 25;

    /// One straight segment, in twips, and its colour (red in the low byte).
    struct Segment {
        std::int64_t x1;
        std::int32_t y1;
        std::int64_t x2;
        std::int32_t y2;
        Colour colour;
        bool operator==(const Segment &) const = default;
    };

    /// Where a record's step lies on the chart: from the record before to the record.
    static constexpr Segment segmentOf(const Step &step)
    {
        const std::int64_t x = step.record * kRecordStepTwips;
        return {x, step.from, x + kRecordStepTwips, step.to, step.colour};
    }

    /// Width of one sweep: the interior's width, rounded down to whole records, in twips.
    static constexpr std::int64_t kSweepWidthTwips =
        kInteriorWidthTwips / kRecordStepTwips * kRecordStepTwips;
    /// Width of the band erased ahead of the pen in sweep mode, in pixels.
    static constexpr int kSweepGapPixels = 10;

    explicit StripChart(QWidget *parent = nullptr);

    /// False when the segment lies wholly beside the interior (for instance when it starts
    /// beyond the right edge), so that drawing it would show nothing.
    static bool canShow(const Segment &segment)
    {
        const auto [xMin, xMax] = std::minmax(segment.x1, segment.x2);
        const auto [yMin, yMax] = std::minmax(segment.y1, segment.y2);
        return xMin < kInteriorWidthTwips && xMax >= 0 && yMin < kInteriorHeightTwips && yMax >= 0;
    }

    /// `segment` moved left by whole sweeps, so that it starts within the first sweep.
    static Segment swept(const Segment &segment);

    /// Turns sweep mode on or off; what is drawn already stays.
    void setSweep(bool on) { m_sweep = on; }
    bool sweep() const { return m_sweep; }
    /// Whether drawing `segment` would show anything, in the chart's present mode.
    bool shows(const Segment &segment) const { return canShow(m_sweep ? swept(segment) : segment); }

    /// Draws the segments, in order, one pixel wide and without smoothing, on top of what is
    /// there; later segments lie on top of earlier ones.
    void drawSegments(std::span<const Segment> segments);
    /// Erases the drawing back to white.
    void clear();

    /// The interior as drawn so far.
    const QImage &image() const { return m_image; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    std::span<const Segment> lastSweep(std::span<const Segment> segments);
    void eraseAhead(QPainter &painter, const Segment &segment, QRect &touched);
    /// Draws `s` with the painter's pen and adds the pixels it may touch to `touched`.
    static void drawLine(QPainter &painter, const Segment &s, QRect &touched);

    QImage m_image;
    bool m_sweep = false;
    /// The pixel column after which the band was last erased.
    std::int64_t m_erasedAfter = -1;
};

} // namespace adc
