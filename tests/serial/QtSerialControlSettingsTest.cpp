#include "BoardLines.h"
#include "PseudoTerminal.h"
#include "QtSerialControl.h"

#include <gtest/gtest.h>

#include <QString>

#include <string>

namespace adc {
namespace {

using test::contains;
using test::PseudoTerminal;

QString qPath(const PseudoTerminal &pty)
{
    return QString::fromStdString(pty.slavePath());
}

TEST(QtSerialControlSettings, PortOneIsTheOnlyPort)
{
    QtSerialControl port(QStringLiteral("/dev/ttyUSB0"));
    EXPECT_EQ(port.port1Device(), QStringLiteral("/dev/ttyUSB0"));
    ASSERT_TRUE(port.setCommPort(1));
    EXPECT_FALSE(port.setCommPort(3));

    EXPECT_FALSE(port.setCommPort(0));
    EXPECT_TRUE(contains(port.errorText(), "0")) << port.errorText();
    EXPECT_FALSE(port.setCommPort(-2));
    EXPECT_EQ(port.port1Device(), QStringLiteral("/dev/ttyUSB0"));
}

struct LineCase {
    const char *settings;
    int baud;
    int stopBits;
};

// The line is always N,8,1; the speed is the one thing that may change.
TEST(QtSerialControlSettings, SettingsReachTheLineWhenThePortOpens)
{
    const LineCase cases[] = {
        {"9600,N,8,1", 9600, 1},
        {"19200,N,8,1", 19200, 1},
        {"115200,N,8,1", 115200, 1},
        {"300,N,8,1", 300, 1},
        {"921600,N,8,1", 921600, 1},
        // Not a standard speed: Qt sets it as a number (termios2, BOTHER), and a
        // pseudo-terminal keeps it.
        {"250000,N,8,1", 250000, 1},
    };
    for (const LineCase &c : cases) {
        SCOPED_TRACE(c.settings);
        PseudoTerminal pty;
        ASSERT_TRUE(pty.isOpen());
        QtSerialControl port(qPath(pty));
        ASSERT_TRUE(port.setCommPort(1));
        ASSERT_TRUE(port.setSettings(c.settings)) << port.errorText();
        ASSERT_TRUE(port.setPortOpen(true)) << port.errorText();
        const PseudoTerminal::LineSettings line = pty.lineSettings();
        EXPECT_EQ(line.baud, c.baud);
        EXPECT_EQ(port.lineSpeed(), c.baud);
        EXPECT_EQ(line.stopBits, c.stopBits);
    }
}

TEST(QtSerialControlSettings, NewSettingsApplyAtOnceToAnOpenPort)
{
    PseudoTerminal pty;
    ASSERT_TRUE(pty.isOpen());
    QtSerialControl port(qPath(pty));
    ASSERT_TRUE(port.setSettings("9600,N,8,1"));
    ASSERT_TRUE(port.setPortOpen(true)) << port.errorText();
    ASSERT_TRUE(port.setSettings("57600,N,8,1")) << port.errorText();
    EXPECT_EQ(pty.lineSettings().baud, 57600);
    EXPECT_EQ(pty.lineSettings().stopBits, 1);
}

TEST(QtSerialControlSettings, MalformedSettingsAreRefusedAndChangeNothing)
{
    PseudoTerminal pty;
    ASSERT_TRUE(pty.isOpen());
    QtSerialControl port(qPath(pty));
    ASSERT_TRUE(port.setSettings("9600,N,8,1"));
    ASSERT_TRUE(port.setPortOpen(true)) << port.errorText();

    const char *const malformed[] = {
        "",           "9600",        "9600,N,8",          "9600,N,8,1,1", "fast,N,8,1",
        "0,N,8,1",    "-9600,N,8,1", "96 00,N,8,1",       "9600,X,8,1",   "9600,NE,8,1",
        "9600,N,9,1", "9600,N,4,1",  "9600,N,8,3",        "9600,N,8,1.5", "9600,N,5,2",
        "9600,,8,1",  "9600;N;8;1",  "99999999999,N,8,1",
    };
    for (const char *settings : malformed) {
        SCOPED_TRACE(settings);
        EXPECT_FALSE(port.setSettings(settings));
        const std::string text = port.errorText();
        EXPECT_TRUE(contains(text, std::string("\"") + settings + "\"")) << text;
        EXPECT_TRUE(contains(text, "9600,N,8,1")) << text;
        EXPECT_EQ(pty.lineSettings().baud, 9600);
        EXPECT_EQ(pty.lineSettings().stopBits, 1);
    }

    // The last good settings are still the ones a fresh opening uses.
    ASSERT_TRUE(port.setPortOpen(true)) << port.errorText();
    EXPECT_EQ(pty.lineSettings().baud, 9600);
}

TEST(QtSerialControlSettings, StepsOutsideTheirRangeAreRefusedWithAText)
{
    QtSerialControl port(QStringLiteral("/dev/null-serial-test"));
    EXPECT_FALSE(port.setInBufferCount(5));
    EXPECT_TRUE(contains(port.errorText(), "5")) << port.errorText();
    EXPECT_FALSE(port.setInputLen(-1));
    EXPECT_FALSE(port.errorText().empty());
    EXPECT_FALSE(port.setRThreshold(-1));
    EXPECT_FALSE(port.errorText().empty());

    EXPECT_TRUE(port.setInBufferCount(0));
    EXPECT_TRUE(port.setInputLen(1));
    EXPECT_TRUE(port.setRThreshold(0));
    EXPECT_TRUE(port.setRtsEnable(true));
}

} // namespace
} // namespace adc
