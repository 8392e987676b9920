#include "BoardLines.h"
#include "PseudoTerminal.h"
#include "QtSerialControl.h"

#include <gtest/gtest.h>

#include <QString>

#include <cstdint>
#include <string>

namespace adc {
namespace {

using test::contains;
using test::PseudoTerminal;

QString qPath(const PseudoTerminal &pty)
{
    return QString::fromStdString(pty.slavePath());
}

// The line is always N,8,1; the speed is the one thing that may change.
TEST(QtSerialControlSettings, SettingsReachTheLineWhenThePortOpens)
{
    // 250000 is not a standard speed: Qt sets it as a number (termios2, BOTHER), and a
    // pseudo-terminal keeps it.
    for (const std::int32_t baud : {9600, 19200, 115200, 300, 921600, 250000}) {
        SCOPED_TRACE(baud);
        PseudoTerminal pty;
        ASSERT_TRUE(pty.isOpen());
        QtSerialControl port(qPath(pty));
        ASSERT_TRUE(port.setLineSettings({baud})) << port.errorText();
        ASSERT_TRUE(port.setPortOpen(true)) << port.errorText();
        const PseudoTerminal::LineSettings line = pty.lineSettings();
        EXPECT_EQ(line.baud, baud);
        EXPECT_EQ(port.lineSpeed(), baud);
        EXPECT_EQ(line.stopBits, 1);
    }
}

TEST(QtSerialControlSettings, NewSettingsApplyAtOnceToAnOpenPort)
{
    PseudoTerminal pty;
    ASSERT_TRUE(pty.isOpen());
    QtSerialControl port(qPath(pty));
    ASSERT_TRUE(port.setLineSettings({9600}));
    ASSERT_TRUE(port.setPortOpen(true)) << port.errorText();
    ASSERT_TRUE(port.setLineSettings({57600})) << port.errorText();
    EXPECT_EQ(pty.lineSettings().baud, 57600);
    EXPECT_EQ(pty.lineSettings().stopBits, 1);
}

TEST(QtSerialControlSettings, SpeedsOutOfRangeAreRefusedAndChangeNothing)
{
    PseudoTerminal pty;
    ASSERT_TRUE(pty.isOpen());
    QtSerialControl port(qPath(pty));
    ASSERT_TRUE(port.setLineSettings({9600}));
    ASSERT_TRUE(port.setPortOpen(true)) << port.errorText();

    for (const std::int32_t baud : {0, -9600, kMaxBaud + 1}) {
        SCOPED_TRACE(baud);
        EXPECT_FALSE(port.setLineSettings({baud}));
        const std::string text = port.errorText();
        EXPECT_TRUE(contains(text, std::to_string(baud))) << text;
        EXPECT_EQ(pty.lineSettings().baud, 9600);
        EXPECT_EQ(pty.lineSettings().stopBits, 1);
    }

    // The last good settings are still the ones a fresh opening uses.
    ASSERT_TRUE(port.setPortOpen(true)) << port.errorText();
    EXPECT_EQ(pty.lineSettings().baud, 9600);

    // A device's name is told as it is, whatever it holds.
    QtSerialControl named(QStringLiteral("/tmp/board%1%2"));
    EXPECT_FALSE(named.setLineSettings({0}));
    EXPECT_TRUE(contains(named.errorText(), "Cannot set /tmp/board%1%2 to 0 baud: the speed"))
        << named.errorText();
}

TEST(QtSerialControlSettings, StepsOutsideTheirRangeAreRefusedWithAText)
{
    QtSerialControl port(QStringLiteral("/dev/null-serial-test"));
    EXPECT_FALSE(port.setInBufferCount(5));
    EXPECT_TRUE(contains(port.errorText(), "5")) << port.errorText();

    EXPECT_TRUE(port.setInBufferCount(0));
    EXPECT_TRUE(port.setRtsEnable(true));
}

} // namespace
} // namespace adc
