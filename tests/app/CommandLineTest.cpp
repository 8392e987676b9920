#include "CommandLine.h"
#include "HistoryStore.h"
#include "OptionTable.h"
#include "PlotPainter.h"

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace adc {
namespace {

using Action = CommandLine::Action;

CommandLine parse(QStringList arguments)
{
    arguments.prepend(QStringLiteral("adconverter"));
    return CommandLine::parse(arguments);
}

TEST(CommandLineParse, WithoutOptionsRunsOnTheFirstSerialPort)
{
    const CommandLine c = parse({});
    EXPECT_EQ(c.action(), Action::Run);
    EXPECT_EQ(c.settings().device, QStringLiteral("/dev/ttyS0"));
}

TEST(CommandLineParse, PortNamesTheDevice)
{
    for (const QStringList &args :
         {QStringList{"--port", "/dev/ttyUSB0"}, QStringList{"--port=/dev/ttyUSB0"},
          QStringList{"-port", "/dev/ttyUSB0"}}) {
        SCOPED_TRACE(args.join(' ').toStdString());
        const CommandLine c = parse(args);
        EXPECT_EQ(c.action(), Action::Run);
        EXPECT_EQ(c.settings().device, QStringLiteral("/dev/ttyUSB0"));
    }
    // The last one given counts.
    EXPECT_EQ(parse({"--port", "/dev/a", "--port", "/dev/b"}).settings().device,
              QStringLiteral("/dev/b"));
}

TEST(CommandLineParse, HelpAndVersionEndWithoutAWindow)
{
    EXPECT_EQ(parse({"--help"}).action(), Action::ShowHelp);
    EXPECT_EQ(parse({"-h"}).action(), Action::ShowHelp);
    EXPECT_EQ(parse({"--port", "/dev/x", "--help"}).action(), Action::ShowHelp);
    EXPECT_EQ(parse({"--version"}).action(), Action::ShowVersion);
    EXPECT_EQ(parse({"--help"}).exitStatus(), 0);
    EXPECT_EQ(CommandLine::versionText(), QStringLiteral("adconverter 1.0.0"));
}

TEST(CommandLineParse, MistakesAreRefusedWithAReason)
{
    const struct {
        QStringList args;
        const char *mentions;
    } cases[] = {
        {{"--bogus"}, "bogus"},
        {{"--port"}, "port"},
        {{"--port="}, "port"},
        {{"/dev/ttyS1"}, "give --port /dev/ttyS1"},
        // A bare recording is most likely meant for the scope; a misspelt option is named.
        {{"bench.csv"}, "give --view bench.csv"},
        {{"--recrod", "x.csv"}, "did you mean --record?"},
        {{"--hedless"}, "did you mean --headless?"},
        {{"--version=3"}, "version"},
        // What goes together, from the option table: either order of a pair refused.
        {{"--demo", "--port", "/dev/ttyUSB0"}, "--port"},
        {{"--port", "/dev/ttyUSB0", "--demo"}, "--demo"},
        {{"--headless", "--mode", "int", "--sweep"}, "--sweep"},
        {{"--count", "5"}, "--headless"},
        {{"--headless", "--mode", "foo"}, "foo"},
        {{"--publish", "mqtt://host"}, "topic"},
        {{"--publish-ca", "ca.crt"}, "--publish URL"},
        {{"--publish", "mqtt://host/lab", "--publish-ca", "ca.crt"}, "mqtts://"},
        {{"--publish", "mqtts://host/lab", "--publish-password-file", "pw"}, "USER@"},
        {{"--scope", "--channel", "0:a:zero"}, "gain"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const CommandLine result = parse(c.args);
        EXPECT_EQ(result.action(), Action::Fail);
        EXPECT_EQ(result.exitStatus(), 2);
        EXPECT_TRUE(result.errorText().contains(QLatin1String(c.mentions)))
            << result.errorText().toStdString();
    }
    // A history larger than this computer's memory holds is refused, naming the largest.
    const qint64 fits = HistoryStore::largestCapacity(HistoryStore::physicalMemory());
    const qint64 most = std::min(fits, CommandLine::kMaxHistoryRecords);
    EXPECT_EQ(parse({"--scope", "--history", QString::number(most)}).action(), Action::Run);
    if (fits < CommandLine::kMaxHistoryRecords) {
        const CommandLine tooLarge = parse({"--scope", "--history", QString::number(fits + 1)});
        EXPECT_EQ(tooLarge.action(), Action::Fail);
        EXPECT_TRUE(tooLarge.errorText().contains(QString::number(fits)))
            << tooLarge.errorText().toStdString();
    }
}

TEST(CommandLineParse, OptionsGivenTakeThePlaceOfWhatWasKept)
{
    StartSettings kept;
    kept.device = QStringLiteral("/dev/ttyUSB3");
    kept.baud = 115200;
    kept.mode = Mode::Mcp3201;
    kept.sweep = true;
    const StartSettings given =
        parse({"--choose", "--port", "/dev/ttyACM0", "--reconnect"}).overriding(kept);
    EXPECT_EQ(given.device, QStringLiteral("/dev/ttyACM0"));
    EXPECT_EQ(given.baud, 115200);
    EXPECT_TRUE(given.reconnect);
    EXPECT_TRUE(given.sweep);
    EXPECT_EQ(given.mode, Mode::Mcp3201);
    EXPECT_EQ(parse({"--baud", "300"}).overriding(kept).baud, 300);
    EXPECT_TRUE(parse({"--demo"}).overriding(kept).simulated);
    StartSettings simulated = kept;
    simulated.simulated = true;
    EXPECT_FALSE(parse({"--port", "/dev/ttyS1"}).overriding(simulated).simulated);
    // Every --channel is kept, in its order.
    const StartSettings named =
        parse({"--scope", "--channel", "0:supply", "--channel", "0:::1"}).overriding(kept);
    ASSERT_EQ(named.channelUnits.size(), 2u);
    EXPECT_EQ(named.channelUnits[0].name, "supply");
    EXPECT_EQ(named.channelUnits[1].offset, 1.0);
}

TEST(OptionTable, CompanionsAreRowsAndTheHelpListsEveryRow)
{
    // A companion that is no row would never be checked; a row missing from --help would be
    // missing from the manual page too.
    const QString help = CommandLine::usage();
    for (const OptionTable::Row &row : OptionTable::rows()) {
        const QString name = QString::fromUtf8(row.name.data(), qsizetype(row.name.size()));
        SCOPED_TRACE(name.toStdString());
        for (const std::string_view list : {row.excludes, row.needs}) {
            for (const QString &other : QString::fromUtf8(list.data(), qsizetype(list.size()))
                                            .split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
                EXPECT_NE(OptionTable::find(other.toStdString()), nullptr) << other.toStdString();
            }
        }
        const QString value =
            QString::fromUtf8(row.valueName.data(), qsizetype(row.valueName.size()));
        EXPECT_TRUE(help.contains(QRegularExpression(
            QStringLiteral("\n  (-., )?--%1 ?%2 ").arg(name, QRegularExpression::escape(value)))))
            << help.toStdString();
    }
}

struct Outcome {
    int status;
    QString out;
    QString err;
};

Outcome
runProgram(const QStringList &arguments,
           const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
{
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(ADC_PROGRAM), arguments);
    if (!program.waitForFinished(10000)) {
        program.kill();
        program.waitForFinished();
        return {-1, {}, {}};
    }
    return {program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1,
            QString::fromLocal8Bit(program.readAllStandardOutput()),
            QString::fromLocal8Bit(program.readAllStandardError())};
}

TEST(Program, HelpPrintsTheUsageAndSucceeds)
{
    const Outcome o = runProgram({"--help"});
    EXPECT_EQ(o.status, 0);
    EXPECT_TRUE(o.out.startsWith(QStringLiteral("Usage: adconverter"))) << o.out.toStdString();
    EXPECT_TRUE(o.out.contains(QStringLiteral("--port DEVICE")));
    EXPECT_TRUE(o.err.isEmpty());
}

TEST(Program, VersionPrintsOneLine)
{
    const Outcome o = runProgram({"--version"});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, QStringLiteral("adconverter 1.0.0\n"));
}

TEST(Program, AMistakeIsOneLineNamingItWithStatus2)
{
    // The reason stays in view: one line pointing to the help, not the help itself.
    const struct {
        QStringList args;
        QStringList named;
    } cases[] = {
        {{"--frobnicate"}, {"frobnicate"}},
        {{"--port"}, {"port"}},
        {{"--demo", "--port", "/dev/ttyUSB0"}, {"--demo", "--port"}},
        {{"--headless", "--mode", "foo"}, {"foo"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const Outcome o = runProgram(c.args);
        EXPECT_EQ(o.status, 2);
        EXPECT_TRUE(o.out.isEmpty());
        EXPECT_EQ(o.err.count(QLatin1Char('\n')), 1) << o.err.toStdString();
        EXPECT_TRUE(o.err.startsWith(QStringLiteral("adconverter: ")) &&
                    o.err.endsWith(QStringLiteral("; see adconverter --help\n")))
            << o.err.toStdString();
        for (const QString &name : c.named) {
            EXPECT_TRUE(o.err.contains(name)) << o.err.toStdString();
        }
    }
}

TEST(Program, WithoutADesktopSaysSoAndStillAnswersHelp)
{
    QProcessEnvironment noDesktop = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        noDesktop.remove(QString::fromLatin1(name));
    }
    const Outcome o = runProgram({}, noDesktop);
    EXPECT_EQ(o.status, 1);
    EXPECT_TRUE(o.err.contains(QStringLiteral("graphical desktop"))) << o.err.toStdString();
    EXPECT_TRUE(o.err.contains(QStringLiteral("xvfb-run"))) << o.err.toStdString();
    EXPECT_EQ(runProgram({"--help"}, noDesktop).status, 0);
    EXPECT_EQ(runProgram({"--version"}, noDesktop).status, 0);
    EXPECT_EQ(runProgram({"--bogus"}, noDesktop).status, 2);
}

TEST(Program, AStartThatFailsSaysWhatToDoAndLeavesNoRecording)
{
    QTemporaryDir dir;
    const QString record = dir.filePath(QStringLiteral("y.csv"));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    // A display that names no X server: Qt alone would abort.
    int unused = 1234;
    while (QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(unused))) {
        ++unused;
    }
    environment.insert(QStringLiteral("DISPLAY"), QStringLiteral(":%1").arg(unused));
    Outcome o = runProgram({"--record", record, "--port", "/dev/null"}, environment);
    EXPECT_EQ(o.status, 1);
    for (const QString &part : {QStringLiteral(":%1").arg(unused), QStringLiteral("xvfb-run -a"),
                                QStringLiteral("--headless")}) {
        EXPECT_TRUE(o.err.contains(part)) << o.err.toStdString();
    }
    EXPECT_FALSE(QFile::exists(record));
    environment.remove(QStringLiteral("DISPLAY"));
    o = runProgram({"--record", record, "--port", "/dev/null"}, environment);
    EXPECT_EQ(o.status, 1);
    EXPECT_TRUE(o.err.contains(QStringLiteral("--headless"))) << o.err.toStdString();
    EXPECT_FALSE(QFile::exists(record));
    // The logger's port cannot be opened: the recording it had made goes again.
    o = runProgram({"--headless", "--mode", "int", "--record", record, "--port",
                    dir.filePath(QStringLiteral("ttyNone"))},
                   environment);
    EXPECT_EQ(o.status, 1);
    EXPECT_FALSE(QFile::exists(record));
    // Every input is checked before the recording is made, in the window as without it.
    const QStringList publishing = {"--publish", "mqtt://bench@127.0.0.1:1/lab",
                                    "--publish-password-file", dir.filePath("none")};
    for (const QStringList &frontEnd : {QStringList{"--headless", "--mode", "int"}, {}}) {
        o = runProgram(frontEnd + publishing + QStringList{"--demo", "--record", record});
        EXPECT_EQ(o.status, 2);
        EXPECT_TRUE(o.err.contains(dir.filePath("none"))) << o.err.toStdString();
        EXPECT_FALSE(QFile::exists(record));
    }
}

// A small recording measured and drawn without a display: run 1 a square wave of 50 Hz
// (ten records at 100, ten at 900, one a millisecond) and a steady 7, run 2 five MCP records.
TEST(Program, StatsAndPlotOfASmallRecordingWithoutADisplay)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("small.csv"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("time,seconds,run,mode,count,ch0,ch1,ch2,ch3,ch4,ch5,ch6,ch7\n");
    for (int i = 0; i < 200; ++i) {
        file.write(QStringLiteral("2026-12-07T08:15:00.%1Z,0.%2,1,INT,%3,%4,7,0,0,0,0,0,0\n")
                       .arg(i, 3, 10, QLatin1Char('0'))
                       .arg(i * 1000, 6, 10, QLatin1Char('0'))
                       .arg(i + 1)
                       .arg((i / 10) % 2 == 0 ? 100 : 900)
                       .toLatin1());
    }
    for (int i = 0; i < 5; ++i) {
        file.write(QStringLiteral("2026-12-07T08:16:00.000Z,0.0%1,2,MCP3201,%2,%3,4095,,,,,,\n")
                       .arg(i)
                       .arg(i + 1)
                       .arg(i * 2)
                       .toLatin1());
    }
    file.close();
    QProcessEnvironment noDisplay = QProcessEnvironment::systemEnvironment();
    noDisplay.remove(QStringLiteral("DISPLAY"));
    noDisplay.remove(QStringLiteral("QT_QPA_PLATFORM"));
    Outcome o = runProgram({"--view", path, "--stats", "csv"}, noDisplay);
    EXPECT_EQ(o.status, 0) << o.err.toStdString();
    EXPECT_TRUE(
        o.out.startsWith(QStringLiteral("channel,records,min,max,mean,std,rms,pp,frequency\n"
                                        "ch0,200,100,900,500,400,640.3124,800,50\n"
                                        "ch1,200,7,7,7,0,7,0,\n")))
        << o.out.toStdString();
    EXPECT_EQ(o.out.count(QLatin1Char('\n')), 9);
    o = runProgram(
        {"--view", path, "--stats", "csv", "--run", "2", "--from", "0.01", "--to", "0.03"},
        noDisplay);
    EXPECT_EQ(o.out, QStringLiteral("channel,records,min,max,mean,std,rms,pp,frequency\n"
                                    "ch0,3,2,6,4,1.632993,4.320494,4,\n"
                                    "ch1,3,4095,4095,4095,0,4095,0,\n"));
    for (const QStringList &bad :
         {QStringList{"--run", "3"}, {"--from", "1", "--to", "2"}, {"--to", "-1"}}) {
        o = runProgram(QStringList{"--view", path, "--stats"} + bad, noDisplay);
        EXPECT_EQ(o.status, 2);
        EXPECT_EQ(o.err.count(QLatin1Char('\n')), 1) << o.err.toStdString();
    }

    const QString png = dir.filePath(QStringLiteral("small.png"));
    o = runProgram({"--view", path, "--plot", png, "--size", "640x400"}, noDisplay);
    EXPECT_EQ(o.status, 0) << o.err.toStdString();
    const QImage picture(png);
    ASSERT_EQ(picture.size(), QSize(640, 400));
    // Channel 0's trace and legend are drawn in its colour.
    const QRgb ch0 = PlotPainter::channelColour(Mode::Int, 0).rgb() & 0xffffff;
    int drawn = 0;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            drawn += (picture.pixel(x, y) & 0xffffff) == ch0 ? 1 : 0;
        }
    }
    EXPECT_GT(drawn, 100);
}

} // namespace
} // namespace adc
