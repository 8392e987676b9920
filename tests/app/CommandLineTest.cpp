#include "CommandLine.h"

#include <QProcess>

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
    EXPECT_EQ(c.port1Device(), QStringLiteral("/dev/ttyS0"));
}

TEST(CommandLineParse, PortNamesTheDevice)
{
    for (const QStringList &args :
         {QStringList{"--port", "/dev/ttyUSB0"}, QStringList{"--port=/dev/ttyUSB0"},
          QStringList{"-port", "/dev/ttyUSB0"}}) {
        SCOPED_TRACE(args.join(' ').toStdString());
        const CommandLine c = parse(args);
        EXPECT_EQ(c.action(), Action::Run);
        EXPECT_EQ(c.port1Device(), QStringLiteral("/dev/ttyUSB0"));
    }
    // The last one given counts.
    EXPECT_EQ(parse({"--port", "/dev/a", "--port", "/dev/b"}).port1Device(),
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
        {{"/dev/ttyS1"}, "/dev/ttyS1"},
        {{"--version=3"}, "version"},
        {{"--publish", "mqtt://host"}, "topic"},
        {{"--publish-ca", "ca.crt"}, "--publish URL"},
        {{"--publish", "mqtt://host/lab", "--publish-ca", "ca.crt"}, "mqtts://"},
        {{"--publish", "mqtts://host/lab", "--publish-password-file", "pw"}, "USER@"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const CommandLine result = parse(c.args);
        EXPECT_EQ(result.action(), Action::Fail);
        EXPECT_EQ(result.exitStatus(), 2);
        EXPECT_TRUE(result.errorText().contains(QLatin1String(c.mentions)))
            << result.errorText().toStdString();
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

TEST(Program, UnknownOptionOrMissingValueExitsWithStatus2)
{
    for (const QStringList &args : {QStringList{"--frobnicate"}, QStringList{"--port"}}) {
        SCOPED_TRACE(args.join(' ').toStdString());
        const Outcome o = runProgram(args);
        EXPECT_EQ(o.status, 2);
        EXPECT_TRUE(o.out.isEmpty());
        EXPECT_TRUE(o.err.contains(args.first().mid(2))) << o.err.toStdString();
        EXPECT_TRUE(o.err.contains(QStringLiteral("Usage: adconverter")));
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

} // namespace
} // namespace adc
