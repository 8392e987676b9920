#include "AcquisitionRun.h"
#include "FilledShape.h"
#include "QuietPort.h"
#include "WindowDisplay.h"
#include "WindowTestHelpers.h"

#include <QLineEdit>

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace adc {
namespace {

using test::inkPixels;

/// An MCP3201 run drawn on a chart, fed record by record as the port would, a frame every
/// ten records.
class Sweep : public ::testing::Test {
protected:
    Sweep()
    {
        for (auto &box : boxes) {
            box = new QLineEdit(&host);
        }
        chart = new StripChart(&host);
        display = std::make_unique<WindowDisplay>(
            boxes, new QLineEdit(&host), new FilledShape(WindowDisplay::idleColour(), &host),
            chart);
        run = std::make_unique<AcquisitionRun>(Mode::Mcp3201, port, *display);
        run->start();
    }

    /// `records` records with both channels at `value` (pixel row (4095 - value) / 15).
    void feed(int records, int value)
    {
        const std::string line = "MCP 0:" + std::to_string(value) + " 1:" + std::to_string(value);
        for (int i = 0; i < records; ++i) {
            run->process(line + "\n");
            if (run->count() % 10 == 0) {
                display->flush();
            }
        }
        display->flush();
    }
    /// Ink in the pixel columns `from` to `to` (inclusive), on `row` or on every row.
    int ink(int from, int to, int row = -1) const
    {
        const QRect columns(from, 0, to - from + 1, StripChart::kInteriorHeight);
        return inkPixels(chart->image(), row < 0 ? columns : QRect(from, row, to - from + 1, 1));
    }

    QWidget host;
    std::array<QLineEdit *, kMaxChannels> boxes{};
    StripChart *chart = nullptr;
    std::unique_ptr<WindowDisplay> display;
    test::QuietPort port;
    std::unique_ptr<AcquisitionRun> run;
};

constexpr int kRowA = (4095 - 1000) / 15; // the first sweep
constexpr int kRowB = (4095 - 3000) / 15; // the second

TEST_F(Sweep, ThePenWrapsWithABlankBandAheadAndNothingDrawnAcross)
{
    chart->setSweep(true);
    // 312 records fill one sweep (7800 twips, pixels 0-520); 100 more go on at the left edge.
    feed(312, 1000);
    feed(100, 3000);
    // The run's own record numbers go on growing.
    EXPECT_EQ(run->count(), 412);
    // The pen stands at 100 * 25 twips: pixel 166.
    EXPECT_EQ(ink(2, 166, kRowB), 165);
    EXPECT_EQ(ink(2, 166, kRowA), 0);
    EXPECT_EQ(ink(167, 176), 0) << "the band ahead of the pen is blank";
    EXPECT_EQ(ink(177, 520, kRowA), 344) << "the older sweep stays beyond the band";
    EXPECT_EQ(ink(177, 520, kRowB), 0);
    // Apart from the two level traces, only the step from A to B at the left edge has ink:
    // no segment runs from the right edge back to the left.
    EXPECT_EQ(inkPixels(chart->image()) - ink(0, 520, kRowA) - ink(0, 520, kRowB),
              kRowA - kRowB - 1);
    EXPECT_EQ(ink(2, 520) - ink(2, 520, kRowA) - ink(2, 520, kRowB), 0);

    // Clear erases; the pen goes on where it is (100 * 25 to 101 * 25 twips: pixels 166-168).
    display->clearChart();
    feed(1, 3000);
    EXPECT_EQ(ink(0, 520), 3);
    EXPECT_EQ(ink(166, 168, kRowB), 3);
}

TEST_F(Sweep, WithoutSweepTheChartDoesNotWrap)
{
    feed(312, 1000);
    feed(100, 3000);
    EXPECT_EQ(run->count(), 412);
    // The first 312 records fill the width; nothing comes back at the left.
    EXPECT_EQ(ink(0, 519), 520);
    EXPECT_EQ(ink(0, 519, kRowA), 520);
}

TEST(SweepChart, AFloodDrawnInOneFrameLooksAsIfDrawnRecordByRecord)
{
    // Three and a half sweeps of a wave, in one frame and one record at a time.
    std::vector<StripChart::Segment> segments;
    const auto y = [](int i) { return std::int32_t(2000 + 1500 * std::sin(i / 17.0)); };
    for (int i = 0; i < 1100; ++i) {
        segments.push_back({25 * i, y(i), 25 * i + 25, y(i + 1), 0x0000ff});
        segments.push_back({25 * i, 4000 - y(i), 25 * i + 25, 4000 - y(i + 1), 0xff0000});
    }
    StripChart atOnce;
    StripChart inTurn;
    atOnce.setSweep(true);
    inTurn.setSweep(true);
    // What was drawn before goes as the pen passes.
    const StripChart::Segment before{0, 0, 7800, 4150, 0x00ff00};
    atOnce.drawSegments(std::span(&before, 1));
    inTurn.drawSegments(std::span(&before, 1));
    atOnce.drawSegments(segments);
    for (std::size_t i = 0; i < segments.size(); i += 2) {
        inTurn.drawSegments(std::span(segments).subspan(i, 2));
    }
    EXPECT_GT(inkPixels(atOnce.image()), 1000);
    EXPECT_EQ(atOnce.image(), inTurn.image());
}

} // namespace
} // namespace adc
