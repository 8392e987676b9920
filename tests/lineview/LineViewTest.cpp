#include "LineSummary.h"
#include "SendBox.h"
#include "SendHistory.h"
#include "WireLines.h"
#include "WireLog.h"

#include <QTest>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace adc;

namespace {

constexpr DropReason kReasons[] = {DropReason::WrongTag, DropReason::TooFewFields,
                                   DropReason::TooLong, DropReason::NotANumber,
                                   DropReason::OtherCount};

std::string text(std::string_view view)
{
    return std::string(view);
}

} // namespace

TEST(LineView, TellsEachReasonAtAGlanceAndOnItsRow)
{
    WireLog log;
    EXPECT_EQ(LineSummary::of(log).text(), "No lines from the port yet");
    for (const DropReason reason : kReasons) {
        SCOPED_TRACE(text(dropReasonText(reason)));
        log.clear();
        log.add("23.5,x\t1", LineVerdict::dropped(reason));
        log.add("PIC,1", LineVerdict::dropped(reason));
        const LineSummary summary = LineSummary::of(log);
        EXPECT_TRUE(summary.nothingTaken());
        EXPECT_EQ(summary.text(), "Every line dropped: " + text(dropReasonText(reason)));
        const WireLines lines(log);
        const QString row = lines.rowText(0);
        EXPECT_TRUE(row.contains(QString::fromStdString(text(dropReasonText(reason)))))
            << row.toStdString();
        // The tab shows as its picture, so that the row stays one row.
        EXPECT_TRUE(row.endsWith(QStringLiteral("23.5,x\u24091"))) << row.toStdString();
    }
}

TEST(LineView, CountsMixedLinesMostCommonReasonFirst)
{
    WireLog log;
    log.add("a,b", LineVerdict::names());
    log.add("1,2", LineVerdict::taken());
    log.add("1,2,3", LineVerdict::dropped(DropReason::OtherCount));
    log.add("1,x", LineVerdict::dropped(DropReason::NotANumber));
    log.add("x,1", LineVerdict::dropped(DropReason::NotANumber));
    const LineSummary summary = LineSummary::of(log);
    EXPECT_FALSE(summary.nothingTaken());
    EXPECT_EQ(summary.text(), "Of the last 5 lines: 1 taken, 1 names, 3 dropped (2 not a number, "
                              "1 another count of values)");
    log.clear();
    log.add("a,b", LineVerdict::names());
    EXPECT_EQ(LineSummary::of(log).text(), "Of the last line: 0 taken, 1 names; no values yet");
}

TEST(LineView, HistoryGoesBackAndReturnsToWhatWasTyped)
{
    SendHistory history;
    EXPECT_EQ(history.older("draft"), "draft");
    history.sent("one");
    history.sent("two");
    history.sent("two");
    EXPECT_EQ(history.size(), 2u);
    EXPECT_EQ(history.older("half typed"), "two");
    EXPECT_EQ(history.older("two"), "one");
    EXPECT_EQ(history.older("one"), "one");
    EXPECT_EQ(history.newer("one"), "two");
    EXPECT_EQ(history.newer("two"), "half typed");
    EXPECT_EQ(history.newer("half typed"), "half typed");
}

TEST(LineView, SendBoxSendsOnlyWhenAskedAndKeepsALineThatCouldNotGo)
{
    std::vector<std::string> sent;
    QString refusal;
    SendBox box([&](std::string_view bytes) {
        if (refusal.isEmpty()) {
            sent.emplace_back(bytes);
        }
        return refusal;
    });
    QTest::keyClicks(box.edit(), QStringLiteral("rate 10"));
    EXPECT_TRUE(sent.empty());
    box.setEnding(LineEnding::CrLf);
    QTest::keyClick(box.edit(), Qt::Key_Return);
    ASSERT_EQ(sent, std::vector<std::string>{"rate 10\r\n"});
    EXPECT_TRUE(box.edit()->text().isEmpty());
    QTest::keyClick(box.edit(), Qt::Key_Up);
    EXPECT_EQ(box.edit()->text(), QStringLiteral("rate 10"));

    refusal = QStringLiteral("No run is going: press Start first.");
    box.sendButton()->click();
    EXPECT_EQ(sent.size(), 1u);
    EXPECT_EQ(box.edit()->text(), QStringLiteral("rate 10"));
    EXPECT_EQ(box.note()->text(), refusal);
}
