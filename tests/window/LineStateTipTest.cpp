#include "MainWindow.h"
#include "PseudoTerminal.h"
#include "WindowTestHelpers.h"

#include <QDeadlineTimer>
#include <QTest>

#include <gtest/gtest.h>

namespace adc {
namespace {

/// Plays the board for up to `timeoutMs`, one `line` every 50 ms, until `condition` holds.
template <typename Condition>
bool sendUntil(test::PseudoTerminal &pty, const std::string &line, Condition condition,
               int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired() || !pty.write(line)) {
            return false;
        }
        QTest::qWait(50);
    }
    return true;
}

TEST(LineStateTip, TheIndicatorAndTheCounterTellTheBoardIsInTheOtherModeUntilRecordsFlow)
{
    test::PseudoTerminal pty;
    ASSERT_TRUE(pty.isOpen());
    MainWindow window(QString::fromStdString(pty.slavePath()));
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_TRUE(window.Shape1->toolTip().isEmpty()) << "no tooltip before a run";

    QTest::mouseClick(window.Command2, Qt::LeftButton);
    const QString hint = QStringLiteral("lines with the tag PIC arrive: is the board in INT mode?");
    const auto hinted = [&] { return window.Shape1->toolTip().contains(hint); };
    ASSERT_TRUE(sendUntil(pty, "PIC 0:1 1:2 2:3 3:4 4:5 5:6 6:7 7:8\r\n", hinted, 8000))
        << window.Shape1->toolTip().toStdString();
    const QString tip = window.Shape1->toolTip();
    EXPECT_EQ(window.TIMES_TEXT->toolTip(), tip);
    EXPECT_TRUE(tip.startsWith(QString::fromStdString(pty.slavePath()) +
                               QStringLiteral(" at 9600,N,8,1\n0.0 records per second\n")))
        << tip.toStdString();
    EXPECT_EQ(window.TIMES_TEXT->text(), QStringLiteral("0"));

    // The board is switched over: the hint goes and the rate comes.
    ASSERT_TRUE(sendUntil(
        pty, "MCP 0:1 1:2\r\n", [&] { return !hinted(); }, 3000));
    EXPECT_FALSE(window.TIMES_TEXT->toolTip().contains(QStringLiteral("arrive")));
    EXPECT_FALSE(window.TIMES_TEXT->toolTip().contains(QStringLiteral("\n0.0 records")));
}

} // namespace
} // namespace adc
