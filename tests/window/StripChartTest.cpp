#include "StripChart.h"
#include "WindowTestHelpers.h"

#include <QTest>

#include <gtest/gtest.h>

#include <limits>
#include <vector>

namespace adc {
namespace {

using test::inkPixels;

constexpr Colour kRed = 0x0000ff;  // palette 12
constexpr Colour kBlue = 0xff0000; // palette 9
constexpr Colour kGrey = 0xc0c0c0; // palette 7

class StripChartTest : public ::testing::Test {
protected:
    void draw(std::vector<StripChart::Segment> segments) { chart.drawSegments(segments); }
    QColor at(int x, int y) const { return chart.image().pixelColor(x, y); }

    StripChart chart;
};

TEST_F(StripChartTest, LevelSegmentLandsOnThePixelRowOfItsOrdinate)
{
    // The first INT record with value 0: level at 4047 twips, i.e. pixel row 269.
    draw({{0, 4047, 25, 4047, kRed}});
    EXPECT_EQ(at(0, 269), QColor(255, 0, 0));
    EXPECT_EQ(at(1, 269), QColor(255, 0, 0));
    EXPECT_EQ(at(0, 268), QColor(Qt::white));
    EXPECT_EQ(at(0, 270), QColor(Qt::white));
    EXPECT_EQ(inkPixels(chart.image()), 2);
}

TEST_F(StripChartTest, ColoursHaveRedInTheLowByte)
{
    draw({{0, 150, 25, 150, kBlue}, {0, 300, 25, 300, kGrey}, {0, 450, 25, 450, 0x00ff00}});
    EXPECT_EQ(at(0, 10), QColor(0, 0, 255));
    EXPECT_EQ(at(0, 20), QColor(192, 192, 192));
    EXPECT_EQ(at(0, 30), QColor(0, 255, 0));
}

TEST_F(StripChartTest, TwipsBelowZeroBelongToThePixelBeforeTheEdge)
{
    // From twip (-1, 0), pixel (-1, 0), down to twip (29, 30), pixel (1, 2): the diagonal
    // enters the interior at (0, 1), leaving the corner pixel white.
    draw({{-1, 0, 29, 30, kRed}});
    EXPECT_EQ(at(0, 0), QColor(Qt::white));
    EXPECT_EQ(at(0, 1), QColor(255, 0, 0));
    EXPECT_EQ(at(1, 2), QColor(255, 0, 0));
    EXPECT_EQ(inkPixels(chart.image()), 2);
}

TEST_F(StripChartTest, SlopedSegmentJoinsItsEnds)
{
    // From (50, 4047) to (75, 978): pixels (3, 269) to (5, 65).
    draw({{50, 4047, 75, 978, kGrey}});
    EXPECT_EQ(at(3, 269), QColor(192, 192, 192));
    EXPECT_EQ(at(5, 65), QColor(192, 192, 192));
    // One pixel per row in between, nothing outside columns 3-5.
    for (int y = 65; y <= 269; ++y) {
        EXPECT_EQ(inkPixels(chart.image(), QRect(3, y, 3, 1)), 1) << "row " << y;
    }
    EXPECT_EQ(inkPixels(chart.image()), 269 - 65 + 1);
}

TEST_F(StripChartTest, LaterSegmentLiesOnTop)
{
    draw({{0, 1500, 25, 1500, kRed}, {0, 1500, 25, 1500, kBlue}});
    EXPECT_EQ(at(0, 100), QColor(0, 0, 255));
    draw({{0, 1500, 25, 1500, kRed}});
    EXPECT_EQ(at(0, 100), QColor(255, 0, 0));
}

TEST_F(StripChartTest, ClearErasesToWhite)
{
    draw({{0, 4047, 25, 978, kRed}, {100, 10, 3000, 4000, kBlue}});
    ASSERT_GT(inkPixels(chart.image()), 100);
    chart.clear();
    EXPECT_EQ(inkPixels(chart.image()), 0);
    // Drawing goes on after a clear.
    draw({{7800, 2000, 7825, 2000, kRed}});
    EXPECT_EQ(at(520, 133), QColor(255, 0, 0));
    EXPECT_EQ(inkPixels(chart.image()), 1);
}

TEST_F(StripChartTest, TracesSurviveBeingCoveredAndShownAgain)
{
    chart.resize(525, 281);
    chart.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&chart));
    draw({{0, 4047, 3000, 978, kRed}});
    const QImage before = chart.grab().toImage();
    chart.hide();
    chart.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&chart));
    const QImage after = chart.grab().toImage();
    EXPECT_EQ(after, before);
    // Interior pixel (0, 269) is at (2, 271) on the widget, inside the border.
    EXPECT_EQ(after.pixelColor(2, 271), QColor(255, 0, 0));
    EXPECT_EQ(after.pixelColor(2 + 200, 2 + 65), QColor(255, 0, 0));
    EXPECT_EQ(after.pixelColor(2 + 520, 2 + 276), QColor(Qt::white));
}

TEST_F(StripChartTest, NothingOfASegmentBeyondTheRightEdgeIsDrawn)
{
    const StripChart::Segment last{7790, 2000, 7815, 2000, kRed};
    const StripChart::Segment past{7815, 2000, 7840, 2000, kRed};
    EXPECT_TRUE(StripChart::canShow(last));
    EXPECT_FALSE(StripChart::canShow(past));
    EXPECT_FALSE(StripChart::canShow({819150, 0, 819175, 4000, kRed}));
    EXPECT_FALSE(StripChart::canShow({100, -20, 125, -1, kRed}));
    EXPECT_FALSE(StripChart::canShow({100, 4155, 125, 9000, kRed}));
    EXPECT_TRUE(StripChart::canShow({100, -20, 125, 0, kRed}));

    draw({past, {819150, 0, 819175, 4000, kBlue}});
    EXPECT_EQ(inkPixels(chart.image()), 0);
    draw({last});
    EXPECT_EQ(at(519, 133), QColor(255, 0, 0));
    EXPECT_EQ(at(520, 133), QColor(255, 0, 0));
}

TEST_F(StripChartTest, SegmentLeavingTheTopIsCutAtTheEdge)
{
    // An INT value of 3000 gives the ordinate -2953: the trace runs off the top.
    draw({{300, 2000, 300, -2953, kRed}});
    EXPECT_EQ(at(20, 0), QColor(255, 0, 0));
    EXPECT_EQ(at(20, 133), QColor(255, 0, 0));
    EXPECT_EQ(inkPixels(chart.image()), 134);
    // Nothing of it wraps round to the bottom.
    EXPECT_EQ(inkPixels(chart.image(), QRect(0, 134, 521, 143)), 0);
}

TEST_F(StripChartTest, HugeOrdinatesAreCutWithoutLosingTheLine)
{
    const auto lo = std::numeric_limits<std::int32_t>::min();
    const auto hi = std::numeric_limits<std::int32_t>::max();
    // From far above to far below, crossing the interior near its middle column.
    draw({{3495, lo, 3505, hi, kBlue}});
    for (int y = 0; y < 277; ++y) {
        EXPECT_EQ(inkPixels(chart.image(), QRect(230, y, 5, 1)), 1) << "row " << y;
    }
    EXPECT_EQ(inkPixels(chart.image()), 277);
}

} // namespace
} // namespace adc
