#include "CommandLine.h"
#include "PortList.h"
#include "PseudoTerminal.h"

#include <QProcess>

#include <gtest/gtest.h>

namespace adc {
namespace {

TEST(BenchOptions, SweepIsOffUnlessAskedForAndListPortsEndsWithoutAWindow)
{
    const auto parse = [](QStringList arguments) {
        arguments.prepend(QStringLiteral("adconverter"));
        return CommandLine::parse(arguments);
    };
    EXPECT_FALSE(parse({}).settings().sweep);
    EXPECT_TRUE(parse({"--sweep", "--port", "/dev/ttyUSB0"}).settings().sweep);
    EXPECT_EQ(parse({"--sweep"}).action(), CommandLine::Action::Run);
    EXPECT_EQ(parse({"--list-ports"}).action(), CommandLine::Action::ListPorts);
    EXPECT_EQ(parse({"--list-ports"}).exitStatus(), 0);
    EXPECT_EQ(parse({"--list-ports=x"}).action(), CommandLine::Action::Fail);
    EXPECT_TRUE(CommandLine::usage().contains(QStringLiteral("--sweep")));
    EXPECT_TRUE(CommandLine::usage().contains(QStringLiteral("--list-ports")));
}

TEST(BenchOptions, BaudTakesAnyPositiveWholeNumberAndReconnectIsOffUnlessAskedFor)
{
    const auto parse = [](QStringList arguments) {
        arguments.prepend(QStringLiteral("adconverter"));
        return CommandLine::parse(arguments);
    };
    EXPECT_EQ(parse({}).settings().baud, 9600);
    EXPECT_FALSE(parse({}).settings().reconnect);
    EXPECT_TRUE(parse({"--reconnect", "--demo"}).settings().reconnect);
    EXPECT_EQ(parse({"--baud", "115200"}).settings().baud, 115200);
    EXPECT_EQ(parse({"--baud=300"}).settings().baud, 300);
    EXPECT_EQ(parse({"--baud", "250000", "--port", "/dev/ttyUSB0"}).settings().baud, 250000);
    for (const char *bad :
         {"", "0", "-9600", "+9600", "96.5", "9600 ", "fast", "2147483648", "12000001"}) {
        const CommandLine refused = parse({"--baud", bad});
        EXPECT_EQ(refused.action(), CommandLine::Action::Fail) << bad;
        EXPECT_EQ(refused.exitStatus(), 2) << bad;
        EXPECT_TRUE(refused.errorText().contains(QStringLiteral("--baud"))) << bad;
    }
    EXPECT_TRUE(CommandLine::usage().contains(QStringLiteral("--baud N")));
    EXPECT_TRUE(CommandLine::usage().contains(QStringLiteral("--reconnect")));
}

TEST(BenchOptions, EachPortTakesOneLineWithWhatIdentifiesIt)
{
    EXPECT_EQ(PortList::text({}), QStringLiteral("No serial ports found.\n"));
    const QList<PortList::Port> ports{
        {QStringLiteral("/dev/ttyS0"), {}, {}, {}, 0, 0},
        {QStringLiteral("/dev/ttyUSB0"), QStringLiteral("FT232R USB UART"), QStringLiteral("FTDI"),
         QStringLiteral("A50285BI"), 0x0403, 0x6001},
        {QStringLiteral("/dev/ttyACM0"),
         {},
         QStringLiteral("Arduino (www.arduino.cc)"),
         {},
         0x2341,
         0x43},
    };
    EXPECT_EQ(
        PortList::text(ports),
        QStringLiteral("/dev/ttyS0\n"
                       "/dev/ttyUSB0  FT232R USB UART, manufacturer FTDI, serial number "
                       "A50285BI, USB 0403:6001\n"
                       "/dev/ttyACM0  manufacturer Arduino (www.arduino.cc), USB 2341:0043\n"));
}

TEST(BenchOptions, ListPortsPrintsThisMachinesPortsWithoutADisplay)
{
    test::PseudoTerminal pty;
    ASSERT_TRUE(pty.isOpen());
    QProcess program;
    // A display that cannot be reached: the program must not need one.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(ADC_PROGRAM), {QStringLiteral("--list-ports")});
    ASSERT_TRUE(program.waitForFinished(10000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    const QString out = QString::fromLocal8Bit(program.readAllStandardOutput());
    EXPECT_TRUE(program.readAllStandardError().isEmpty());
    // Every port the system reports, and nothing else; a pseudo-terminal is not a serial port.
    EXPECT_EQ(out, PortList::text(PortList::available()));
    EXPECT_FALSE(out.contains(QString::fromStdString(pty.slavePath()))) << out.toStdString();
    for (const QString &line : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        EXPECT_TRUE(line.startsWith(QStringLiteral("/dev/")) ||
                    line == QStringLiteral("No serial ports found."))
            << line.toStdString();
    }
}

} // namespace
} // namespace adc
