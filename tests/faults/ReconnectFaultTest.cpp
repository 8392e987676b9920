#include "CsvRecorder.h"
#include "FaultTest.h"
#include "RecordingSession.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace adc::test {
namespace {

const QColor kGrey(192, 192, 192);
const QColor kGreen(0, 255, 0);

/// The window with --baud and --reconnect, on a USB adapter that drops out.
class BenchLine : public FaultTest {
protected:
    QString tip() const { return window->Shape1->toolTip(); }
    bool waiting() const { return window->reconnector().waiting(); }
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
        window->setBaud(baud);
        click(window->Command2);
        ASSERT_TRUE(window->port().portOpen()) << window->port().errorText();
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
    CsvRecorder recorder;
    ASSERT_TRUE(recorder.open(path.toStdString(), false)) << recorder.errorText();
    auto session = std::make_unique<RecordingSession>(*window, recorder);
    window->setReconnect(true);
    click(window->Command1);
    ASSERT_TRUE(window->port().portOpen()) << window->port().errorText();
    constexpr int kPerConnection = 5000;
    constexpr int kPulls = 3;
    std::int64_t expected = 0;
    for (int connection = 0; connection <= kPulls; ++connection) {
        SCOPED_TRACE(connection);
        PseudoTerminal *board = &line();
        if (connection > 0) {
            board = &plugInNewLine();
            ASSERT_TRUE(waitFor([&] { return !waiting() && window->port().portOpen(); }, 3000,
                                "the run to go on"));
            EXPECT_EQ(window->Shape1->fillColour(), kGreen);
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
        EXPECT_EQ(window->Shape1->fillColour(), kGrey);
        // Long enough to show in the recording's times.
        QTest::qWait(400);
        EXPECT_TRUE(tip().contains(QStringLiteral("waiting for ") + devicePath() +
                                   QStringLiteral(" to come back")))
            << tip().toStdString();
    }
    EXPECT_EQ(window->failureBox(), nullptr);
    EXPECT_EQ(visibleMessageBoxes(), 0);
    EXPECT_EQ(window->reconnector().reconnections(), kPulls);
    EXPECT_EQ(window->run()->plotPosition(), expected * AcquisitionRun::kSegmentStep);
    EXPECT_EQ(window->Text[0]->text(), QStringLiteral("0") + QString::number(kPulls));
    // One row per record, counted on across the pulls, with the gaps in the time column.
    session.reset();
    recorder.close();
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
    QTest::qWait(3 * Reconnector::kCheckMilliseconds);
    EXPECT_FALSE(window->port().portOpen());
    EXPECT_EQ(visibleMessageBoxes(), 0);
}

} // namespace
} // namespace adc::test
