#include "CommandLine.h"
#include "CsvRecorder.h"
#include "DeviceName.h"
#include "PseudoTerminal.h"
#include "ScopeWindow.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <memory>

namespace adc {
namespace {

/// The board simulator flooding a line of its own; ended with the object.
struct Board {
    QProcess process;
    QString device;
    explicit Board(QStringList arguments)
    {
        process.start(QStringLiteral(ADC_BOARD_SIM), arguments << QStringLiteral("--wait-reader"));
        if (process.waitForStarted(5000) && process.waitForReadyRead(5000)) {
            device = QString::fromLocal8Bit(process.readLine()).trimmed();
        }
    }
    ~Board()
    {
        process.terminate();
        process.waitForFinished(5000);
    }
};

/// adconverter with no display of any kind in its environment.
void startHeadless(QProcess &program, const QStringList &arguments)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        environment.remove(QLatin1String(name));
    }
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(ADC_PROGRAM),
                  QStringList{QStringLiteral("--headless")} + arguments);
}

/// The rows of a recording, header first; fails the test on a row that is not whole, and on a
/// count that does not follow the one before.
QList<QByteArray> wholeRows(const QString &path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    const QByteArray text = file.readAll();
    EXPECT_TRUE(text.isEmpty() || text.endsWith('\n')) << "a row was cut short";
    QList<QByteArray> rows = text.split('\n');
    rows.removeLast();
    for (qsizetype i = 1; i < rows.size(); ++i) {
        const QList<QByteArray> cells = rows[i].split(',');
        EXPECT_EQ(cells.size(), 13) << rows[i].toStdString();
        EXPECT_EQ(cells.value(4).toLongLong(), i) << rows[i].toStdString();
    }
    return rows;
}

TEST(HeadlessCommandLine, LoggingOptionsAreCheckedBeforeAnythingStarts)
{
    const CommandLine logger =
        CommandLine::parse({"adconverter", "--headless", "--mode", "mcp", "--demo", "--record", "-",
                            "--count", "5", "--duration", "2.5", "--append"});
    EXPECT_EQ(logger.action(), CommandLine::Action::Run);
    const StartSettings &settings = logger.settings();
    EXPECT_TRUE(logger.headless() && settings.append && settings.simulated);
    EXPECT_EQ(settings.mode, Mode::Mcp3201);
    EXPECT_EQ(settings.recordPath, QStringLiteral("-"));
    EXPECT_EQ(settings.countLimit, 5);
    EXPECT_EQ(settings.durationSeconds, 2.5);
    for (const QStringList &wrong : {QStringList{"--headless"},
                                     {"--headless", "--mode", "pic"},
                                     {"--mode", "int"},
                                     {"--record", "-"},
                                     {"--append"},
                                     {"--record="},
                                     {"--headless", "--mode=int", "--count=0"},
                                     {"--headless", "--mode=int", "--duration=-1"}}) {
        SCOPED_TRACE(wrong.join(' ').toStdString());
        EXPECT_EQ(CommandLine::parse(QStringList{"adconverter"} + wrong).action(),
                  CommandLine::Action::Fail);
    }
    // Other boards' lines need no mode; --channels goes with CSV only.
    const CommandLine csv = CommandLine::parse(
        {"adconverter", "--headless", "--format", "csv", "--channels", "3", "--show-dropped"});
    EXPECT_EQ(csv.settings().runMode(), Mode::Csv);
    EXPECT_TRUE(csv.settings().channels == 3 && csv.settings().showDropped);
    for (const QStringList &wrong : {QStringList{"--format", "csv", "--channels", "33"},
                                     {"--format", "keyvalue", "--channels", "3"},
                                     {"--headless", "--format", "csv", "--mode", "int"},
                                     {"--format", "json"}}) {
        EXPECT_EQ(CommandLine::parse(QStringList{"adconverter"} + wrong).action(),
                  CommandLine::Action::Fail)
            << wrong.join(' ').toStdString();
    }
    // A duration is taken up to the limit, and one beyond it is told the limit.
    const auto duration = [](const char *seconds) {
        return CommandLine::parse({"adconverter", "--headless", "--mode", "int", "--duration",
                                   QString::fromLatin1(seconds)});
    };
    EXPECT_EQ(duration("1e9").settings().durationSeconds, 1e9);
    for (const char *beyond : {"1000000000.5", "1e300", "inf", "nan"}) {
        const CommandLine refused = duration(beyond);
        EXPECT_EQ(refused.action(), CommandLine::Action::Fail) << beyond;
        EXPECT_TRUE(refused.errorText().contains(QStringLiteral("up to 1000000000")))
            << refused.errorText().toStdString();
    }
}

TEST(HeadlessLogger, DurationsRunTheWholeTimeAndTheDemoKeepsTheBaudPace)
{
    // Durations whose milliseconds pass 2^31 and 2^32 still run, with no complaint.
    QProcess longer[2];
    startHeadless(longer[0], {"--mode", "int", "--demo", "--duration", "2147484"});
    startHeadless(longer[1], {"--mode", "int", "--demo", "--duration", "4294968"});

    // A short one ends on time; at 300 baud the simulated board sends under one record a
    // second (at 9600, about 13 INT records a second).
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("slow.csv"));
    QElapsedTimer clock;
    clock.start();
    QProcess slow;
    startHeadless(
        slow, {"--mode", "int", "--demo", "--baud", "300", "--duration", "2", "--record", path});
    ASSERT_TRUE(slow.waitForFinished(10000));
    EXPECT_GE(clock.elapsed(), 2000);
    EXPECT_EQ(slow.exitCode(), 0) << slow.readAllStandardError().toStdString();
    EXPECT_LE(wholeRows(path).size(), 1 + 3);

    for (QProcess &program : longer) {
        EXPECT_FALSE(program.waitForFinished(100)) << "ended early";
        program.terminate();
        ASSERT_TRUE(program.waitForFinished(10000));
        EXPECT_EQ(program.exitCode(), 0);
        const QString err = QString::fromLocal8Bit(program.readAllStandardError());
        EXPECT_FALSE(err.contains(QStringLiteral("QObject"))) << err.toStdString();
    }
}

TEST(HeadlessLogger, CountEndsItAfterExactlyThatManyRowsAndAnExistingFileIsRefused)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("log.csv"));
    Board board({"--mode", "both", "--rate", "max", "--noise", "0.1"});
    ASSERT_FALSE(board.device.isEmpty());
    QProcess program;
    startHeadless(program,
                  {"--mode", "mcp", "--port", board.device, "--record", path, "--count", "5000"});
    ASSERT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitCode(), 0) << program.readAllStandardError().toStdString();
    // Off a terminal, standard error holds the summary alone.
    const QString summary = QString::fromLocal8Bit(program.readAllStandardError());
    EXPECT_TRUE(summary.startsWith(QStringLiteral("adconverter: 5000 records in ")) &&
                summary.endsWith(QStringLiteral("5000 rows written to %1.\n").arg(path)))
        << summary.toStdString();
    const QList<QByteArray> rows = wholeRows(path);
    ASSERT_EQ(rows.size(), 5001);
    EXPECT_TRUE(rows.back().contains(",1,MCP3201,5000,")) << rows.back().toStdString();
    EXPECT_GT(rows.back().split(',')[1].toDouble(), 0.0) << "the time since the Start";

    for (const QStringList &refused :
         {QStringList{"--record", path}, {"--record", dir.filePath("no/such.csv")}}) {
        startHeadless(program, QStringList{"--mode", "int", "--port", board.device} + refused);
        ASSERT_TRUE(program.waitForFinished(10000));
        EXPECT_EQ(program.exitCode(), 2);
        EXPECT_TRUE(program.readAllStandardError().contains(refused.back().toLocal8Bit()));
    }
    startHeadless(program, {"--mode", "int", "--port", dir.filePath("ttyNone")});
    ASSERT_TRUE(program.waitForFinished(10000));
    EXPECT_EQ(program.exitCode(), 1);
    EXPECT_TRUE(program.readAllStandardError().startsWith(
        QStringLiteral("adconverter: Cannot open %1").arg(dir.filePath("ttyNone")).toLocal8Bit()));
}

TEST(HeadlessLogger, AFileIsNamedByteForByteForTheRecordingAndTheScope)
{
    // "rec\xff.csv" is not UTF-8; it must not become another file ("rec\uFFFD.csv"). The shell
    // gives the byte: QProcess passes its arguments as text.
    QTemporaryDir dir;
    const QByteArray name = QFile::encodeName(dir.path()) + "/rec\xff.csv";
    QProcess program;
    program.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
    program.start(QStringLiteral("/bin/sh"),
                  {"-c",
                   R"(exec "$0" --headless --mode int --demo --count 2 )"
                   R"(--record "$1$(printf '\377').csv")",
                   QStringLiteral(ADC_PROGRAM), dir.filePath(QStringLiteral("rec"))});
    ASSERT_TRUE(program.waitForFinished(20000));
    EXPECT_EQ(program.exitCode(), 0) << program.readAllStandardError().toStdString();
    const std::filesystem::path folder(QFile::encodeName(dir.path()).toStdString());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);
    std::ifstream written(name.constData());
    std::string line;
    int lines = 0;
    while (std::getline(written, line)) {
        ++lines;
    }
    EXPECT_EQ(lines, 3) << "the header and two rows in " << name.toStdString();

    // --view reads the same name back.
    ScopeWindow viewed;
    QSignalSpy loaded(&viewed, &ScopeWindow::loaded);
    viewed.open(DeviceName::fromBytes(name), 100);
    ASSERT_TRUE(loaded.wait(10000));
    EXPECT_TRUE(loaded.front().front().toString().isEmpty())
        << loaded.front().front().toString().toStdString();
    EXPECT_EQ(viewed.runChoice()->count(), 1);
    std::filesystem::remove(name.toStdString()); // QTemporaryDir cannot name it
}

TEST(HeadlessLogger, EndedBySignalTheFileHoldsOnlyWholeRows)
{
    // SIGINT and SIGTERM end it cleanly, every row recorded in the file; kill -9 loses at most
    // the last second, and leaves no row cut short.
    for (const int signal : {SIGINT, SIGTERM, SIGKILL}) {
        SCOPED_TRACE(signal);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("log.csv"));
        Board board({"--mode", "int", "--rate", "max"});
        QProcess program;
        startHeadless(program, {"--mode", "int", "--port", board.device, "--record", path});
        QFile file(path);
        for (int waited = 0; waited < 100 && file.size() < 100'000; ++waited) {
            program.waitForFinished(50);
        }
        ASSERT_GT(file.size(), 100'000) << "no rows within five seconds";
        ::kill(static_cast<pid_t>(program.processId()), signal);
        ASSERT_TRUE(program.waitForFinished(10000));
        const QList<QByteArray> rows = wholeRows(path);
        EXPECT_GT(rows.size(), 1000);
        if (signal != SIGKILL) {
            EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
            EXPECT_EQ(program.exitCode(), 0);
            EXPECT_TRUE(program.readAllStandardError().startsWith(
                QStringLiteral("adconverter: %1 records").arg(rows.size() - 1).toLocal8Bit()));
        }
    }
}

TEST(HeadlessLogger, AReplayedRecordingIsRecordedAgainWithTheSameValues)
{
    QProcess help;
    help.start(QStringLiteral(ADC_BOARD_SIM), {QStringLiteral("--help")});
    help.waitForFinished(5000);
    if (!help.readAllStandardOutput().contains("--replay")) {
        GTEST_SKIP() << "this adc-board-sim has no --replay";
    }
    QTemporaryDir dir;
    const QString first = dir.filePath(QStringLiteral("first.csv"));
    const QString again = dir.filePath(QStringLiteral("again.csv"));
    const auto record = [](const QStringList &boardArguments, const QString &path) {
        Board board(boardArguments);
        QProcess program;
        startHeadless(program, {"--mode", "int", "--port", board.device, "--record", path,
                                "--count", "2000"});
        return program.waitForFinished(30000) && program.exitCode() == 0;
    };
    ASSERT_TRUE(record({"--mode", "int", "--rate", "max", "--noise", "0.2"}, first));
    ASSERT_TRUE(record({"--replay", first, "--rate", "max"}, again));
    const QList<QByteArray> recorded = wholeRows(first);
    const QList<QByteArray> replayed = wholeRows(again);
    ASSERT_EQ(replayed.size(), recorded.size());
    for (qsizetype i = 1; i < recorded.size(); ++i) {
        // mode, count and the channels; the times differ.
        ASSERT_EQ(recorded[i].split(',').mid(3), replayed[i].split(',').mid(3)) << "row " << i;
    }
}

TEST(HeadlessLogger, ATerminalIsToldThePortAndTheOtherModesRecordsApartFromDrops)
{
    // The demo's board sends both modes: the MCP records are not drops of an INT logger. No
    // recording: no rows to speak of. The simulator's own summary stays out of the terminal.
    test::PseudoTerminal terminal;
    ASSERT_TRUE(terminal.isOpen());
    QProcess program;
    program.setStandardErrorFile(QString::fromStdString(terminal.slavePath()));
    startHeadless(program, {"--mode", "int", "--demo", "--duration", "2.5"});
    ASSERT_TRUE(program.waitForFinished(20000));
    EXPECT_EQ(program.exitCode(), 0);
    const QString shown = QString::fromStdString(terminal.readAvailable(3000));
    const QRegularExpression status(QStringLiteral(
        "\\r/dev/pts/\\d+: \\d+ records, \\d+ per second, \\d+ lines dropped, [1-9]\\d* MCP "
        "records?, not this mode\\x1b\\[K"));
    EXPECT_TRUE(status.match(shown).hasMatch()) << shown.toStdString();
    const QRegularExpression summary(
        QStringLiteral("adconverter: \\d+ records in [\\d.]+ s \\(\\d+ per second\\), \\d+ lines "
                       "dropped, [1-9]\\d* MCP records?, not this mode, nothing recorded.\\n$"));
    EXPECT_TRUE(summary.match(shown).hasMatch()) << shown.toStdString();
    EXPECT_FALSE(shown.contains(QStringLiteral("rows written")));
    EXPECT_FALSE(shown.contains(QStringLiteral("adc-board-sim"))) << shown.toStdString();
}

TEST(HeadlessLogger, ALostDeviceIsToldWithWhatToDoInATerminal)
{
    auto board = std::make_unique<Board>(QStringList{"--mode", "int"});
    ASSERT_FALSE(board->device.isEmpty());
    QProcess program;
    startHeadless(program, {"--mode", "int", "--port", board->device});
    ASSERT_FALSE(program.waitForFinished(1000)) << program.readAllStandardError().toStdString();
    board.reset(); // the line hangs up
    ASSERT_TRUE(program.waitForFinished(10000));
    EXPECT_EQ(program.exitCode(), 1);
    const QString told = QString::fromLocal8Bit(program.readAllStandardError());
    EXPECT_TRUE(told.contains(QStringLiteral("was lost")) &&
                told.contains(QStringLiteral("run adconverter again")) &&
                told.contains(QStringLiteral("--reconnect")))
        << told.toStdString();
    EXPECT_FALSE(told.contains(QStringLiteral("Start"))) << told.toStdString();
}

// A board that prints text, played on a pseudo-terminal: each format is logged with its names
// in the recording's headers, and the dropped lines are told with their reasons.
TEST(HeadlessLogger, OtherBoardsLinesAreRecordedUnderTheirNamesAndTheirDropsTold)
{
    struct Case {
        const char *format;
        const char *lines;
        const char *expected;
        const char *told;
    };
    const Case cases[] = {
        {"csv", "cut\ntemp,hum\n1,2\n1,x\n3,4\r\n5,6\n",
         "time,seconds,run,mode,count,temp,hum\n,1,csv,1,1,2\n,1,csv,2,3,4\n,1,csv,3,5,6\n",
         "adconverter: dropped (not a number): 1,x\n"},
        {"keyvalue", "t:0\nt:1\nbad\nt:2 h=-3.5\nh:1e3\n",
         "time,seconds,run,mode,count,t\n,1,keyvalue,1,1\ntime,seconds,run,mode,count,t,h\n,"
         "1,keyvalue,2,2,-3.5\n,1,keyvalue,3,,1000\n",
         "adconverter: dropped (too few fields): bad\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.format);
        test::PseudoTerminal board;
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("text.csv"));
        QProcess program;
        startHeadless(program,
                      {"--format", c.format, "--port", QString::fromStdString(board.slavePath()),
                       "--baud", "19200", "--count", "3", "--record", path, "--show-dropped"});
        // The logger has opened the line once it runs at its speed.
        ASSERT_TRUE(QTest::qWaitFor([&] { return board.lineSettings().baud == 19200; }, 10000));
        QTest::qWait(200);
        ASSERT_TRUE(board.write(c.lines));
        ASSERT_TRUE(program.waitForFinished(10000));
        EXPECT_EQ(program.exitCode(), 0);
        const QString told = QString::fromLocal8Bit(program.readAllStandardError());
        EXPECT_TRUE(told.startsWith(QLatin1String(c.told))) << told.toStdString();
        // The times differ from run to run: each row from its `seconds` on is compared.
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        QByteArray rows;
        for (const QByteArray &line : file.readAll().split('\n')) {
            rows += line.startsWith("time,") ? line : line.mid(line.indexOf(',', 25));
            rows += '\n';
        }
        EXPECT_EQ(rows.chopped(1), c.expected);
    }
}

} // namespace
} // namespace adc
