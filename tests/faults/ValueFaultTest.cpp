#include "FaultTest.h"

#include <QImage>

#include <string>
#include <vector>

namespace adc::test {
namespace {

using Piece = LineFeeder::Piece;

/// Values no board sends and counts no run reached before, in the INT mode.
class ValueFault : public IntRunFaultTest {};

TEST_F(ValueFault, HugeValuesAreShownAsSentAndTheirTracesAreCutAtTheChartEdge)
{
    const std::array<std::string, kMaxChannels> huge{
        "1E308",
        "1E309",
        "1" + std::string(399, '0'),
        std::string(400, '9'),
        "1E-400",
        "1D308",
        "500",
        [] {
            std::string digits;
            while (digits.size() < 405) {
                digits += "123456789";
            }
            return digits;
        }(),
    };
    // All channels level at 500: pixel row (2047 - 1500 + 2000) / 15 = 169.
    constexpr int kRow500 = 169;
    constexpr int kRowZero = 4047 / 15;
    const std::array<int, kMaxChannels> level{500, 500, 500, 500, 500, 500, 500, 500};
    probe->rebase();
    ASSERT_TRUE(feed({{picRecord(level)}, {picRecordOfFields(huge)}}, 2));
    for (int k = 0; k < kMaxChannels; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(window->Text[k]->text(),
                  QStringLiteral("0") + QString::fromStdString(huge[std::size_t(k)]));
    }

    // The second record's segments run from x 25 to 50 twips (pixels 1 to 3). The huge values
    // lie far above the chart: their traces climb from row 169 and are cut at the top edge.
    const QImage &chart = window->Picture1->image();
    for (int y = 0; y < kRow500; ++y) {
        ASSERT_GT(inkPixels(chart, QRect(1, y, 3, 1)), 0) << "no trace on row " << y;
    }
    // Channel 7 is drawn last, so its climb lies on top up to the edge.
    bool topInChannel7 = false;
    for (int x = 1; x <= 3; ++x) {
        topInChannel7 = topInChannel7 || chart.pixelColor(x, 0) == colourOf(Mode::Int, 7);
    }
    EXPECT_TRUE(topInChannel7);
    // A tiny value is 0; 500 stays level.
    EXPECT_EQ(chart.pixelColor(3, kRowZero), colourOf(Mode::Int, 4));
    EXPECT_EQ(chart.pixelColor(2, kRow500), colourOf(Mode::Int, 6));
    // Nothing is drawn right of the segments.
    EXPECT_EQ(inkPixels(chart, QRect(4, 0, chart.width() - 4, chart.height())), 0);

    // Back from the far values to 500, from x 50 to 75 twips (pixels 3 to 5): the traces come
    // down from the edge again, near the end where they are visible.
    ASSERT_TRUE(feed({{picRecord(level)}}, 3));
    EXPECT_EQ(window->Text[3]->text(), QStringLiteral("0500"));
    for (int y = 0; y < kRow500; ++y) {
        ASSERT_GT(inkPixels(chart, QRect(4, y, 2, 1)), 0) << "no trace on row " << y;
    }
    EXPECT_EQ(inkPixels(chart, QRect(6, 0, chart.width() - 6, chart.height())), 0);
    EXPECT_EQ(window->run()->count(), 3);
    expectHealthy(4 * 1024);
}

TEST_F(ValueFault, FortyThousandRecordsAreCountedExactlyPastThe16BitLimit)
{
    constexpr int kRecords = 40000;
    std::vector<Piece> pieces;
    pieces.reserve(kRecords);
    for (int i = 1; i <= kRecords; ++i) {
        pieces.push_back({picRecord({i % 1024, 1, 2, 3, 4, 5, 6, i})});
    }
    probe->rebase();
    ASSERT_TRUE(feed(std::move(pieces), kRecords));
    EXPECT_EQ(countText(), QStringLiteral("40000"));
    EXPECT_EQ(window->Text[0]->text(), QString::number(kRecords % 1024).prepend(u'0'));
    EXPECT_EQ(window->Text[7]->text(), QStringLiteral("040000"));
    EXPECT_EQ(window->run()->count(), kRecords);
    EXPECT_EQ(window->run()->droppedRecords(), 0);
    expectHealthy(4 * 1024);
}

} // namespace
} // namespace adc::test
