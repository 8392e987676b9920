#include "BoardLines.h"
#include "HistoryExport.h"
#include "HistoryStore.h"
#include "ManualClock.h"
#include "MqttBroker.h"
#include "MqttPublisher.h"
#include "PseudoTerminal.h"
#include "RecordingFormat.h"
#include "RunSession.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <sstream>

namespace adc {
namespace {

const QByteArray kHeader(RecordingFormat::kHeaderLine.data());

/// The published object a row of the recording stands for: its fields' texts in JSON, with
/// `null` for a saturated value and the channels the mode lacks left out.
QByteArray jsonOf(const QByteArray &row)
{
    const QList<QByteArray> f = row.split(',');
    QByteArray json = "{\"time\":\"" + f[0] + "\",\"seconds\":" + f[1] + ",\"run\":" + f[2] +
                      ",\"mode\":\"" + f[3] + "\",\"count\":" + f[4];
    for (qsizetype k = 5; k < f.size() && !f[k].isEmpty(); ++k) {
        json += ",\"ch" + QByteArray::number(k - 5) + "\":" + (f[k] == "inf" ? "null" : f[k]);
    }
    return json + '}';
}

/// A run session on a pseudo-terminal and a clock of the test's own, recording to a file that
/// holds runs already.
struct RecordStory : ::testing::Test {
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("story.csv"));
    test::PseudoTerminal board;
    test::ManualClock clock;
    RunSession session;

    void SetUp() override
    {
        session.setClock(clock);
        session.setDevice(QString::fromStdString(board.slavePath()));
    }
    void writeRecording(const QByteArray &rows)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(kHeader + rows);
    }
    /// The rows of the recording after `skipped` of them.
    QList<QByteArray> rowsAfter(qsizetype skipped)
    {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        QList<QByteArray> rows = file.readAll().split('\n');
        rows.removeLast(); // after the last line feed
        return rows.mid(1 + skipped);
    }
    /// `lines` taken from the port `after` the clock's last block.
    void block(const std::string &lines, std::int64_t records, std::chrono::microseconds after)
    {
        clock.advance(after);
        const std::int64_t expected = session.run()->count() + records;
        ASSERT_TRUE(board.write(lines));
        ASSERT_TRUE(QTest::qWaitFor([&] { return session.run()->count() == expected; }, 5000));
    }
};

// A run appended to a recording that holds two, told to the recording, the publisher and, from
// the middle of the run on, the scope's history: every record reads the same in each.
TEST_F(RecordStory, EachRecordReadsTheSameInTheRecordingTheScopesExportAndThePublishedJson)
{
    writeRecording("2026-12-07T08:15:02.123Z,0.000000,1,MCP3201,1,1,2,,,,,,\n"
                   "2026-12-07T08:16:02.123Z,0.000000,2,MCP3201,1,3,4,,,,,,\n");
    test::Broker broker;
    ASSERT_TRUE(broker.start());
    test::Subscriber subscriber(broker.port, QStringLiteral("lab/story/records"));
    std::string error;
    const std::string url = broker.url(QStringLiteral("lab/story")).toStdString();
    MqttPublisher publisher({*PublishTarget::parse(url, error), {}, {}, "pty"}, std::nullopt);
    ASSERT_TRUE(publisher.start()) << publisher.failure();
    ASSERT_TRUE(QTest::qWaitFor([&] { return publisher.connected(); }, 10000));
    session.addObserver(&publisher);
    ASSERT_TRUE(session.startRecording(path, true)) << session.recordingError().toStdString();
    ASSERT_TRUE(session.start(Mode::Int));
    EXPECT_EQ(session.run()->runStart().run, 3);

    // Blocks of four records 250 ms apart, a saturated value among them; the scope joins half
    // way, and the wall clock is set back by an hour after that.
    HistoryStore history;
    std::int64_t sent = 0;
    for (int n = 0; n < 12; ++n) {
        if (n == 6) {
            session.addObserver(&history);
            EXPECT_EQ(history.run(), 3) << "told the run going at once";
            EXPECT_EQ(history.startTime(), session.run()->runStart().at.wall);
        }
        if (n == 9) {
            clock.setWall(clock.now().wall - std::chrono::hours(1));
        }
        std::string lines;
        for (int i = 0; i < 4; ++i, ++sent) {
            const std::string v = std::to_string(sent);
            lines += test::picRecordOfFields(
                {v, "1.5", sent == 9 ? "1E400" : "1023", "0.125", v, "7", "1e3", "2"}, "\r\n");
        }
        block(lines, 4, std::chrono::milliseconds(250));
    }
    session.stop();
    session.stopRecording();
    ASSERT_TRUE(subscriber.waitFor("\"count\":" + QByteArray::number(sent) + ','))
        << publisher.published() << " published, " << publisher.dropped() << " dropped";

    const QList<QByteArray> rows = rowsAfter(2);
    ASSERT_EQ(rows.size(), sent);
    EXPECT_TRUE(rows[9].startsWith("2026-12-07T08:15:02.873Z,0.750000,3,INT,10,9,1.5,inf,"))
        << rows[9].toStdString();
    EXPECT_TRUE(rows[47].startsWith("2026-12-07T07:15:05.123Z,3.000000,3,INT,48,"))
        << rows[47].toStdString();
    // The JSON, object by object, is the recording's rows.
    QByteArray published;
    for (const QByteArray &payload : subscriber.payloads("lab/story/records")) {
        published += payload;
    }
    const QRegularExpression object(QStringLiteral("\\{[^}]*\\}"));
    qsizetype i = 0;
    for (const auto &match : object.globalMatch(QString::fromUtf8(published))) {
        ASSERT_LT(i, sent);
        ASSERT_EQ(match.captured().toUtf8(), jsonOf(rows[i])) << "record " << i;
        ++i;
    }
    EXPECT_EQ(i, sent);
    // The scope's export of what it holds is the recording's rows from when it joined.
    std::ostringstream exported;
    ASSERT_TRUE(writeHistoryCsv(exported, history, history.first(), history.end()));
    EXPECT_EQ(exported.str(), (kHeader + rows.mid(24).join('\n') + '\n').toStdString());
}

// A recording opened during a run counts its seconds from the run's Start; a file that holds
// the run's number already gives the run the next free one, for every observer.
TEST_F(RecordStory, ARecordingOpenedDuringARunKeepsItsStartAndTakesAFreeNumber)
{
    writeRecording("2026-12-06T08:00:00.000Z,0.000000,5,INT,1,1,2,3,4,5,6,7,8\n");
    HistoryStore history;
    session.addObserver(&history);
    ASSERT_TRUE(session.start(Mode::Mcp3201));
    block("MCP 0:1 1:2\n", 1, std::chrono::seconds(2));
    ASSERT_TRUE(session.startRecording(path, true));
    block("MCP 0:3 1:4\n", 1, std::chrono::seconds(2));
    session.stop();
    session.stopRecording();
    EXPECT_EQ(rowsAfter(1),
              QList<QByteArray>{"2026-12-07T08:15:06.123Z,4.000000,6,MCP3201,2,3,4,,,,,,"});
    EXPECT_EQ(history.run(0), 1);
    EXPECT_EQ(history.run(1), 6);
    ASSERT_TRUE(session.start(Mode::Mcp3201));
    EXPECT_EQ(session.run()->runStart().run, 7);
}

} // namespace
} // namespace adc
