#include "CsvRecorder.h"
#include "FaultTest.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

namespace adc::test {
namespace {

/// The window with --baud and --reconnect, on a USB adapter that drops out.
class BenchLine : public FaultTest {
protected:
    QString tip() const { return window->Shape1->toolTip(); }
    bool waiting() const { return session.waiting(); }
    /// The rows of a recording after its header, each split into its cells.
    static QList<QList<QByteArray>> rowsOf(const QString &path)
    {
        QFile file(path);
        QList<QList<QByteArray>> rows;
        if (file.open(QIODevice::ReadOnly)) {
            for (const QByteArray &line : file.readAll().split('\n').mid(1)) {
                if (!line.isEmpty()) {
                    rows << line.split(',');
                }
            }
        }
        return rows;
    }
    /// Records 1 to n of one connection: `connection` in channel 0, i in channel 7; first the
    /// rest of the record cut by the last pull, last a record cut in its turn.
    static std::vector<LineFeeder::Piece> connectionLines(int connection, int n)
    {
        std::vector<LineFeeder::Piece> pieces{{"94 4:95 5:96 6:97 7:98\n"}};
        for (int i = 1; i <= n; ++i) {
            pieces.push_back({picRecord({connection, 1, 2, 3, 4, 5, 6, i % 1024})});
        }
        pieces.push_back({"PIC 0:91 1:92 2:93 3:"});
        return pieces;
    }
};

TEST_F(BenchLine, TheLineRunsAtTheSpeedAskedForAndTheTooltipSaysSo)
{
    for (const int baud : {115200, 250000}) {
        session.setLineSettings({baud});
        click(window->Command2);
        ASSERT_TRUE(session.port().portOpen()) << session.port().errorText();
        EXPECT_EQ(line().lineSettings().baud, baud);
        EXPECT_EQ(line().lineSettings().stopBits, 1);
        const QString settings = QString::number(baud) + QStringLiteral(",N,8,1");
        EXPECT_TRUE(tip().contains(settings)) << tip().toStdString();
    }
}

TEST_F(BenchLine, ThreePullsDuringAFloodLeaveOneRunWithEveryRecordThatArrived)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("pulled.csv"));
    ASSERT_TRUE(session.startRecording(path, false)) << session.recordingError().toStdString();
    session.setReconnect(true);
    click(window->Command1);
    ASSERT_TRUE(session.port().portOpen()) << session.port().errorText();
    constexpr int kPerConnection = 5000;
    constexpr int kPulls = 3;
    std::int64_t expected = 0;
    for (int connection = 0; connection <= kPulls; ++connection) {
        SCOPED_TRACE(connection);
        PseudoTerminal *board = &line();
        if (connection > 0) {
            board = &plugInNewLine();
            ASSERT_TRUE(waitFor([&] { return !waiting() && session.port().portOpen(); }, 3000,
                                "the run to go on"));
            EXPECT_EQ(window->Shape1->fillColour(), WindowDisplay::runningColour());
            EXPECT_FALSE(tip().contains(QStringLiteral("waiting"))) << tip().toStdString();
        }
        {
            LineFeeder feeder(*board, connectionLines(connection, kPerConnection));
            ASSERT_TRUE(waitFor([&] { return feeder.done(); }, 30000, "the board's bytes"));
            ASSERT_TRUE(feeder.succeeded());
        }
        expected += kPerConnection;
        ASSERT_TRUE(settle(expected));
        if (connection == kPulls) {
            break;
        }
        board->closeMaster();
        ASSERT_TRUE(waitFor([&] { return waiting(); }, 5000, "the run to wait for the device"));
        EXPECT_EQ(window->Shape1->fillColour(), WindowDisplay::idleColour());
        // Long enough to show in the recording's times.
        QTest::qWait(400);
        EXPECT_TRUE(tip().contains(QStringLiteral("waiting for ") + devicePath() +
                                   QStringLiteral(" to come back")))
            << tip().toStdString();
    }
    EXPECT_EQ(window->failureBox(), nullptr);
    EXPECT_EQ(visibleMessageBoxes(), 0);
    EXPECT_EQ(session.reconnections(), kPulls);
    EXPECT_EQ(window->run()->count(), expected);
    EXPECT_EQ(window->Text[0]->text(), QStringLiteral("0") + QString::number(kPulls));
    // One row per record, counted on across the pulls, with the gaps in the time column.
    session.stopRecording();
    const QList<QList<QByteArray>> rows = rowsOf(path);
    ASSERT_EQ(rows.size(), expected);
    for (int connection = 1; connection <= kPulls; ++connection) {
        const qsizetype first = connection * kPerConnection;
        EXPECT_EQ(rows[first][4].toLongLong(), first + 1);
        EXPECT_GT(rows[first][1].toDouble() - rows[first - 1][1].toDouble(), 0.35)
            << rows[first - 1].join(',').toStdString() << " / "
            << rows[first].join(',').toStdString();
    }

    // EXIT works while the run waits, and nothing is opened after it.
    line().closeMaster();
    ASSERT_TRUE(waitFor([&] { return waiting(); }, 5000, "the run to wait for the device"));
    click(window->Command3);
    EXPECT_TRUE(window->isUnloaded());
    EXPECT_FALSE(waiting());
    plugInNewLine();
    QTest::qWait(3 * RunSession::kReconnectMilliseconds);
    EXPECT_FALSE(session.port().portOpen());
    EXPECT_EQ(visibleMessageBoxes(), 0);
}

TEST_F(BenchLine, ADeviceOfAnotherOwnerAtTheLostPathIsNotOpenedAndTheTooltipSaysWhy)
{
    if (::geteuid() != 0) {
        GTEST_SKIP() << "only root can give a terminal to another user";
    }
    session.setReconnect(true);
    click(window->Command1);
    ASSERT_TRUE(session.port().portOpen()) << session.port().errorText();
    line().closeMaster();
    ASSERT_TRUE(waitFor([&] { return waiting(); }, 5000, "the run to wait for the device"));

    // Someone else's terminal takes the path: it is left alone, and the tooltip says why.
    PseudoTerminal stranger;
    ASSERT_TRUE(stranger.isOpen());
    ASSERT_EQ(::chown(stranger.slavePath().c_str(), 65534, static_cast<gid_t>(-1)), 0);
    pointDeviceAt(stranger.slavePath());
    ASSERT_TRUE(waitFor([&] { return tip().contains(QStringLiteral("not opened")); }, 3000,
                        "the tooltip to say why the device is not opened"))
        << tip().toStdString();
    QTest::qWait(3 * RunSession::kReconnectMilliseconds);
    EXPECT_TRUE(waiting());
    EXPECT_FALSE(session.port().portOpen());
    EXPECT_TRUE(tip().contains(QStringLiteral("belongs to"))) << tip().toStdString();

    // The board's own adapter comes back: the run goes on.
    plugInNewLine();
    ASSERT_TRUE(
        waitFor([&] { return !waiting() && session.port().portOpen(); }, 3000, "the run to go on"));
    EXPECT_EQ(session.reconnections(), 1);
}

TEST_F(BenchLine, TheHeadlessLoggerWaitsForTheDeviceAndRecordsEveryRecordOnce)
{
    constexpr int kPerConnection = 500;
    constexpr int kPulls = 3;
    constexpr int kRecords = (kPulls + 1) * kPerConnection;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("headless.csv"));
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    program.setProcessEnvironment(environment);
    // The logger ends by itself after the last record: one lost on the way would hold it up.
    program.start(QStringLiteral(ADC_PROGRAM),
                  {"--headless", "--mode", "int", "--port", devicePath(), "--reconnect", "--baud",
                   "115200", "--record", path, "--count", QString::number(kRecords)});
    QString told;
    const auto toldTimes = [&](const QString &what) {
        told += QString::fromLocal8Bit(program.readAllStandardError());
        return told.count(what);
    };
    ASSERT_TRUE(waitFor([&] { return line().lineSettings().baud == 115200; }, 10000,
                        "the logger to open the line at 115200 baud"));
    QTest::qWait(300);
    for (int connection = 0; connection <= kPulls; ++connection) {
        SCOPED_TRACE(connection);
        PseudoTerminal *board = &line();
        if (connection > 0) {
            board = &plugInNewLine();
            ASSERT_TRUE(waitFor([&] { return toldTimes(QStringLiteral(" is back")) == connection; },
                                5000, "the logger to say the device is back"))
                << told.toStdString();
            EXPECT_EQ(board->lineSettings().baud, 115200);
        }
        {
            LineFeeder feeder(*board, connectionLines(connection, kPerConnection));
            ASSERT_TRUE(waitFor([&] { return feeder.done() && board->waitingAtSlave() == 0; },
                                10000, "the logger to read the board's bytes"));
        }
        if (connection == kPulls) {
            break;
        }
        QTest::qWait(300);
        board->closeMaster();
        ASSERT_TRUE(
            waitFor([&] { return toldTimes(QStringLiteral(" was lost")) == connection + 1; }, 5000,
                    "the logger to say the device was lost"))
            << told.toStdString();
    }
    ASSERT_TRUE(program.waitForFinished(10000)) << "the logger did not get all the records";
    toldTimes({});
    EXPECT_EQ(program.exitCode(), 0) << told.toStdString();
    EXPECT_TRUE(told.contains(QStringLiteral("adconverter: %1 records in ").arg(kRecords)))
        << told.toStdString();
    const QList<QList<QByteArray>> rows = rowsOf(path);
    ASSERT_EQ(rows.size(), kRecords);
    for (qsizetype i = 0; i < rows.size(); ++i) {
        ASSERT_EQ(rows[i][4].toLongLong(), i + 1) << rows[i].join(',').toStdString();
    }
}

} // namespace
} // namespace adc::test
