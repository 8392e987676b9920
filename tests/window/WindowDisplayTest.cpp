#include "WindowDisplay.h"
#include "FilledShape.h"
#include "WindowTestHelpers.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace adc {
namespace {

using test::inkPixels;

class WindowDisplayTest : public ::testing::Test {
protected:
    WindowDisplayTest()
    {
        for (auto &box : boxes) {
            box = new QLineEdit(QStringLiteral("0"), &host);
        }
        count = new QLineEdit(QStringLiteral("0"), &host);
        indicator = new FilledShape(WindowDisplay::idleColour(), &host);
        chart = new StripChart(&host);
        display = std::make_unique<WindowDisplay>(boxes, count, indicator, chart);
    }

    QWidget host;
    std::array<QLineEdit *, kMaxChannels> boxes{};
    QLineEdit *count = nullptr;
    FilledShape *indicator = nullptr;
    StripChart *chart = nullptr;
    std::unique_ptr<WindowDisplay> display;
};

TEST_F(WindowDisplayTest, ManyTextsBeforeAFrameShowOnlyTheLast)
{
    QSignalSpy changes(boxes[2], &QLineEdit::textChanged);
    QSignalSpy countChanges(count, &QLineEdit::textChanged);
    for (int i = 1; i <= 10000; ++i) {
        const std::string text = "0" + std::to_string(i);
        display->showValueText(2, text);
        display->showCount(std::to_string(i));
    }
    // Nothing reaches the boxes before the frame.
    EXPECT_EQ(boxes[2]->text(), QStringLiteral("0"));
    EXPECT_EQ(count->text(), QStringLiteral("0"));
    EXPECT_TRUE(display->hasPending());

    display->flush();
    EXPECT_EQ(boxes[2]->text(), QStringLiteral("010000"));
    EXPECT_EQ(count->text(), QStringLiteral("10000"));
    EXPECT_EQ(changes.count(), 1);
    EXPECT_EQ(countChanges.count(), 1);
    // Boxes that were not written stay as they were.
    EXPECT_EQ(boxes[0]->text(), QStringLiteral("0"));
    EXPECT_EQ(boxes[7]->text(), QStringLiteral("0"));
    EXPECT_FALSE(display->hasPending());
}

TEST_F(WindowDisplayTest, TheFrameTimerBringsChangesToTheScreenByItself)
{
    QSignalSpy changes(boxes[0], &QLineEdit::textChanged);
    display->showValueText(0, "0512");
    display->showValueText(0, "0513");
    display->drawStep({0, 4047, 4047, 0x0000ff});
    ASSERT_TRUE(test::waitUntil([&] { return boxes[0]->text() == QStringLiteral("0513"); }, 1000));
    EXPECT_EQ(changes.count(), 1);
    EXPECT_EQ(chart->image().pixelColor(0, 269), QColor(255, 0, 0));
    EXPECT_FALSE(display->hasPending());
    // A later change starts a new frame.
    display->showValueText(0, "07");
    ASSERT_TRUE(test::waitUntil([&] { return boxes[0]->text() == QStringLiteral("07"); }, 1000));
}

/// Counts the paint events a widget gets.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget *widget) { widget->installEventFilter(this); }
    int paints = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        paints += event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
};

TEST_F(WindowDisplayTest, ALoneChangeIsPaintedAtOnceAndAFloodAtMostOncePerFrame)
{
    count->raise(); // the widgets of the fixture overlap
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
    QCoreApplication::processEvents();
    PaintCounter counter(count);

    // After a quiet spell, one pass of the event loop paints the change: no frame to wait for.
    display->showCount("1");
    EXPECT_EQ(counter.paints, 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(count->text(), QStringLiteral("1"));
    EXPECT_EQ(counter.paints, 1);

    // A change on every pass: frames come at most once per kFrameMilliseconds.
    QElapsedTimer clock;
    clock.start();
    int i = 2;
    while (clock.elapsed() < 200) {
        display->showCount(std::to_string(i++));
        QCoreApplication::processEvents();
    }
    const qint64 elapsed = clock.elapsed();
    EXPECT_GE(counter.paints, 3);
    EXPECT_LE(counter.paints - 1, 1 + elapsed / WindowDisplay::kFrameMilliseconds);
}

TEST_F(WindowDisplayTest, ABoxGivenTheTextItShowsIsLeftAlone)
{
    QSignalSpy changes(boxes[3], &QLineEdit::textChanged);
    display->showValueText(3, "0");
    EXPECT_FALSE(display->hasPending());
    display->showValueText(3, "0700");
    display->showValueText(3, "0");
    display->flush();
    EXPECT_EQ(changes.count(), 0);
    display->showValueText(3, "0700");
    display->flush();
    display->showValueText(3, "0700");
    EXPECT_FALSE(display->hasPending());
    EXPECT_EQ(changes.count(), 1);
    EXPECT_EQ(boxes[3]->text(), QStringLiteral("0700"));

    // What the user types stays only until the run next writes the box, even the same text.
    boxes[3]->setFocus();
    QTest::keyClicks(boxes[3], QStringLiteral("9"));
    ASSERT_NE(boxes[3]->text(), QStringLiteral("0700"));
    display->showValueText(3, "0700");
    display->flush();
    EXPECT_EQ(boxes[3]->text(), QStringLiteral("0700"));
}

TEST_F(WindowDisplayTest, BytesAboveAsciiShowAsLatin1)
{
    display->showValueText(7, std::string("0\xb0\xe9\xff\r", 5));
    display->showValueText(1, std::string_view("0a\0b", 4));
    display->flush();
    EXPECT_EQ(boxes[7]->text(), QString::fromUtf16(u"0\u00b0\u00e9\u00ff\r"));
    EXPECT_EQ(boxes[7]->text().size(), 5);
    EXPECT_EQ(boxes[1]->text().size(), 4);
    EXPECT_EQ(boxes[1]->text().at(2), QChar(u'\0'));
}

TEST_F(WindowDisplayTest, SegmentsWaitForTheFrameAndKeepTheirOrder)
{
    display->drawStep({0, 1500, 1500, 0x0000ff});
    display->drawStep({0, 1500, 1500, 0xff0000});
    EXPECT_EQ(display->pendingSegments(), 2u);
    EXPECT_EQ(inkPixels(chart->image()), 0);
    display->flush();
    EXPECT_EQ(display->pendingSegments(), 0u);
    EXPECT_EQ(chart->image().pixelColor(0, 100), QColor(0, 0, 255));
}

TEST_F(WindowDisplayTest, SegmentsPastTheRightEdgeAreNotKept)
{
    // Record 312 starts at 7800 twips, in the last pixel column; record 313 beyond it.
    for (std::int64_t record = 313; record < 313 + 100000; ++record) {
        display->drawStep({record, 2000, 2000, 0x0000ff});
    }
    EXPECT_EQ(display->pendingSegments(), 0u);
    EXPECT_FALSE(display->hasPending());
    display->drawStep({312, 2000, 2000, 0x0000ff});
    EXPECT_EQ(display->pendingSegments(), 1u);
}

TEST_F(WindowDisplayTest, ClearDropsSegmentsNotYetDrawnButKeepsTexts)
{
    display->drawStep({0, 1500, 1500, 0x0000ff});
    display->flush();
    display->drawStep({1, 1500, 1500, 0x0000ff});
    display->showValueText(0, "042");
    display->clearChart();
    display->flush();
    EXPECT_EQ(inkPixels(chart->image()), 0);
    EXPECT_EQ(boxes[0]->text(), QStringLiteral("042"));
    // The next step is drawn where its record stands: record 2, x 50 to 75 twips, pixels 3 to 5.
    display->drawStep({2, 1500, 1500, 0x0000ff});
    display->flush();
    EXPECT_EQ(chart->image().pixelColor(3, 100), QColor(255, 0, 0));
    EXPECT_EQ(chart->image().pixelColor(5, 100), QColor(255, 0, 0));
    EXPECT_EQ(inkPixels(chart->image()), 3);
}

TEST_F(WindowDisplayTest, IndicatorTurnsGreenAtOnceAndGreyWhenTheRunEnds)
{
    EXPECT_EQ(indicator->fillColour(), QColor(192, 192, 192));
    display->markRunning();
    EXPECT_EQ(indicator->fillColour(), QColor(0, 255, 0));

    display->showCount("3");
    display->runEnded("Port /dev/x vanished \xe2\x80\x94 check the cable");
    // What was given before the end is on screen by then.
    EXPECT_EQ(count->text(), QStringLiteral("3"));
    EXPECT_EQ(indicator->fillColour(), QColor(192, 192, 192));
    EXPECT_FALSE(display->hasPending());
}

} // namespace
} // namespace adc
