#include "DemoBoard.h"
#include "CommandLine.h"
#include "MainWindow.h"
#include "ProcessInfo.h"
#include "PseudoTerminal.h"
#include "WindowTestHelpers.h"

#include <QFile>
#include <QProcess>
#include <QStringList>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <fstream>
#include <sys/types.h>

namespace adc {
namespace {

bool processGone(qint64 pid)
{
    if (::kill(static_cast<pid_t>(pid), 0) != 0) {
        return errno == ESRCH;
    }
    // A child that has ended but was not reaped yet is as good as gone.
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string pidText, name, state;
    stat >> pidText >> name >> state;
    return state == "Z";
}

TEST(DemoBoard, EitherStartButtonShowsTheSimulatedBoardsRecords)
{
    DemoBoard board;
    ASSERT_TRUE(board.start()) << board.errorText().toStdString();
    const QString device = board.port1Device();
    ASSERT_TRUE(QFile::exists(device)) << device.toStdString();
    const qint64 pid = board.processId();
    ASSERT_GT(pid, 0);

    RunSession session;
    session.setDevice(device);
    MainWindow window(session);
    window.show();
    window.Command1->click();
    // At 9600 baud both record kinds arrive every few tens of milliseconds.
    ASSERT_TRUE(test::waitUntil([&] { return window.TIMES_TEXT->text().toLongLong() >= 3; }))
        << window.TIMES_TEXT->text().toStdString();
    EXPECT_GT(test::inkPixels(window.Picture1->image()), 0);
    for (int k = 0; k < 8; ++k) {
        const int value = window.Text[k]->text().toInt();
        EXPECT_TRUE(value >= 0 && value <= 1023) << "channel " << k;
    }

    window.Command2->click();
    // A fresh run counts the MCP records only.
    ASSERT_TRUE(window.run() != nullptr && window.run()->mode() == Mode::Mcp3201);
    ASSERT_TRUE(test::waitUntil([&] { return window.run()->count() >= 2; }));
    EXPECT_TRUE(window.run()->running());
    EXPECT_TRUE(test::waitUntil([&] { return window.TIMES_TEXT->text().toLongLong() >= 2; }));

    window.unload();
    board.stop();
    EXPECT_TRUE(processGone(pid));
    EXPECT_FALSE(QFile::exists(device)) << "the simulated line is gone with the simulator";
    EXPECT_TRUE(board.port1Device().isEmpty());
}

TEST(DemoBoard, TheProgramLeavesNoSimulatorBehind)
{
    // However the program ends, by EXIT or killed outright, its simulator ends too; and it
    // never has the broker's password.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("ADC_PUBLISH_PASSWORD"), QStringLiteral("secret"));
    for (const int signal : {SIGTERM, SIGKILL}) {
        QProcess program;
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral(ADC_PROGRAM), {QStringLiteral("--demo")});
        ASSERT_TRUE(program.waitForStarted(5000));
        qint64 sim = 0;
        ASSERT_TRUE(
            test::waitUntil([&] { return (sim = test::childOf(program.processId())) > 0; }));
        const QString proc = "/proc/" + QString::number(sim);
        // Once it runs the simulator (before, it is the program's copy).
        ASSERT_TRUE(test::waitUntil([&] {
            QFile command(proc + "/cmdline");
            return command.open(QIODevice::ReadOnly) && command.readAll().contains("adc-board-sim");
        }));
        QFile simulatorEnvironment(proc + "/environ");
        ASSERT_TRUE(simulatorEnvironment.open(QIODevice::ReadOnly));
        const QByteArray variables = simulatorEnvironment.readAll();
        EXPECT_TRUE(variables.contains("PATH=") && !variables.contains("ADC_PUBLISH_PASSWORD"));
        ::kill(static_cast<pid_t>(program.processId()), signal);
        ASSERT_TRUE(program.waitForFinished(5000));
        EXPECT_TRUE(test::waitUntil([&] { return processGone(sim); }, 3000))
            << "simulator " << sim << " outlived the program (signal " << signal << ")";
    }
}

TEST(DemoBoard, ADeadSimulatorComesBackAndStartNeverOpensAnotherTerminal)
{
    DemoBoard board;
    ASSERT_TRUE(board.start()) << board.errorText().toStdString();
    RunSession session;
    session.setDevice(board.port1Device());
    MainWindow window(session);
    QObject::connect(&board, &DemoBoard::restarted, &session, &RunSession::setDevice);
    const qint64 first = board.processId();
    ::kill(static_cast<pid_t>(first), SIGKILL);
    // Another terminal opens meanwhile and takes the lowest free line number.
    test::PseudoTerminal stranger;
    ASSERT_TRUE(
        test::waitUntil([&] { return board.processId() > 0 && board.processId() != first; }));

    window.Command1->click();
    ASSERT_TRUE(session.port().portOpen()) << session.port().errorText();
    EXPECT_NE(session.port().port1Device().toStdString(), stranger.slavePath());
    EXPECT_TRUE(test::waitUntil([&] { return window.TIMES_TEXT->text().toLongLong() >= 1; }));
    window.unload();
}

TEST(DemoBoard, DemoTakesNoPort)
{
    const CommandLine demo = CommandLine::parse({"adconverter", "--demo"});
    EXPECT_EQ(demo.action(), CommandLine::Action::Run);
    EXPECT_TRUE(demo.settings().simulated);
    const CommandLine both =
        CommandLine::parse({"adconverter", "--demo", "--port", "/dev/ttyUSB0"});
    EXPECT_EQ(both.action(), CommandLine::Action::Fail);
    EXPECT_EQ(both.exitStatus(), 2);
    EXPECT_FALSE(CommandLine::parse({"adconverter"}).settings().simulated);
}

} // namespace
} // namespace adc
