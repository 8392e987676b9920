#include "LineStateTip.h"
#include "ManualClock.h"
#include "QuietPort.h"

#include <QWidget>

#include <gtest/gtest.h>

namespace adc {
namespace {

using namespace std::chrono_literals;

/// A display that shows nothing: the tip reads the run's line alone.
class NoDisplay : public Display {
public:
    void showValueText(int, std::string_view) override {}
    void showCount(std::string_view) override {}
    void markRunning() override {}
    void drawStep(const Step &) override {}
    void runEnded(std::string_view) override {}
};

TEST(LineStateTip, TheIndicatorAndTheCounterTellTheBoardIsInTheOtherModeUntilRecordsFlow)
{
    QWidget indicator;
    QWidget counter;
    LineStateTip tip({&indicator, &counter});
    test::QuietPort port;
    NoDisplay display;
    test::ManualClock clock;
    AcquisitionRun run(Mode::Mcp3201, port, display);
    run.setClock(clock);
    ASSERT_TRUE(run.start());
    const auto start = clock.now().monotonic;
    tip.follow(run, QStringLiteral("/dev/ttyUSB0"));
    const QString hint = QStringLiteral("lines with the tag PIC arrive: is the board in INT mode?");
    // The board sends INT records once a second.
    const auto second = [&](std::string_view line) {
        clock.advance(1s);
        run.process(line);
        tip.refresh();
    };
    second("PIC 0:1 1:2 2:3 3:4 4:5 5:6 6:7 7:8\r\n");
    EXPECT_FALSE(indicator.toolTip().contains(hint)) << "no hint before the line is quiet";
    while (clock.now().monotonic < start + LineMonitor::kQuietTime + 1s) {
        second("PIC 0:1 1:2 2:3 3:4 4:5 5:6 6:7 7:8\r\n");
    }
    EXPECT_TRUE(indicator.toolTip().startsWith(
        QStringLiteral("/dev/ttyUSB0 at 9600,N,8,1\n0.0 records per second\n")))
        << indicator.toolTip().toStdString();
    EXPECT_TRUE(indicator.toolTip().contains(hint)) << indicator.toolTip().toStdString();
    EXPECT_EQ(counter.toolTip(), indicator.toolTip());

    // The board is switched over: the hint goes and the rate comes.
    second("MCP 0:1 1:2\r\n");
    EXPECT_FALSE(counter.toolTip().contains(QStringLiteral("arrive")));
    EXPECT_FALSE(counter.toolTip().contains(QStringLiteral("\n0.0 records")));
}

} // namespace
} // namespace adc
