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

/// The lines of `text`, the last line feed dropped.
QList<QByteArray> linesOf(const QByteArray &text)
{
    QList<QByteArray> lines = text.split('\n');
    lines.removeLast();
    return lines;
}

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

// One run, appended to a recording that holds two, told to the recording, the publisher and,
// from the middle of the run on, the scope's history: every record reads the same in each.
TEST(RecordStory, EachRecordReadsTheSameInTheRecordingTheScopesExportAndThePublishedJson)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("story.csv"));
    const QByteArray earlier = "2026-12-07T08:15:02.123Z,0.000000,1,MCP3201,1,1,2,,,,,,\n"
                               "2026-12-07T08:16:02.123Z,0.000000,2,MCP3201,1,3,4,,,,,,\n";
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(RecordingFormat::kHeaderLine.data()) + earlier);
    file.close();

    test::Broker broker;
    ASSERT_TRUE(broker.start());
    test::Subscriber subscriber(broker.port, QStringLiteral("lab/story/records"));
    std::string error;
    MqttPublisher publisher(
        {*PublishTarget::parse(broker.url(QStringLiteral("lab/story")).toStdString(), error),
         {},
         false,
         {},
         "pty"});
    ASSERT_TRUE(publisher.start()) << publisher.failure();
    ASSERT_TRUE(QTest::qWaitFor([&] { return publisher.connected(); }, 10000));

    test::PseudoTerminal board;
    test::ManualClock clock;
    RunSession session;
    session.setClock(clock);
    session.setDevice(QString::fromStdString(board.slavePath()));
    session.addObserver(&publisher);
    ASSERT_TRUE(session.startRecording(path, true)) << session.recordingError().toStdString();
    ASSERT_TRUE(session.start(Mode::Int));
    EXPECT_EQ(session.run()->runStart().run, 3);

    // Records in blocks of a few, a saturated value among them, 250 ms apart; the scope joins
    // half way, and the wall clock is set back by an hour after that.
    HistoryStore history;
    std::int64_t sent = 0;
    for (int block = 0; block < 12; ++block) {
        if (block == 6) {
            session.addObserver(&history);
            EXPECT_EQ(history.run(), 3) << "told the run going at once";
            EXPECT_EQ(history.startTime(), session.run()->runStart().at.wall);
        }
        clock.advance(std::chrono::milliseconds(250));
        if (block == 9) {
            clock.setWall(clock.now().wall - std::chrono::hours(1));
        }
        std::string lines;
        for (int i = 0; i < 4; ++i, ++sent) {
            const std::string v = std::to_string(sent);
            lines += test::picRecordOfFields(
                {v, "1.5", sent == 9 ? "1E400" : "1023", "0.125", v, "7", "1e3", "2"}, "\r\n");
        }
        ASSERT_TRUE(board.write(lines));
        ASSERT_TRUE(QTest::qWaitFor([&] { return session.run()->count() == sent; }, 5000));
    }
    session.stop();
    session.stopRecording();
    ASSERT_TRUE(QTest::qWaitFor([&] { return publisher.published() == sent; }, 10000))
        << publisher.published() << " of " << sent << ", " << publisher.dropped() << " dropped";
    ASSERT_TRUE(subscriber.waitFor("\"count\":" + QByteArray::number(sent) + ','));

    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray recording = file.readAll();
    ASSERT_TRUE(recording.startsWith(RecordingFormat::kHeaderLine.data() + earlier));
    const QList<QByteArray> rows = linesOf(recording.mid(
        static_cast<qsizetype>(RecordingFormat::kHeaderLine.size()) + earlier.size()));
    ASSERT_EQ(rows.size(), sent);

    // The JSON, object by object, is the recording's rows.
    QByteArray published;
    for (const QByteArray &payload : subscriber.payloads("lab/story/records")) {
        published += payload;
    }
    QList<QByteArray> objects;
    const QRegularExpression object(QStringLiteral("\\{[^}]*\\}"));
    for (const auto &match : object.globalMatch(QString::fromUtf8(published))) {
        objects << match.captured().toUtf8();
    }
    ASSERT_EQ(objects.size(), sent);
    for (qsizetype i = 0; i < sent; ++i) {
        ASSERT_EQ(objects[i], jsonOf(rows[i])) << "record " << i;
    }
    EXPECT_TRUE(rows[9].startsWith("2026-12-07T08:15:02.873Z,0.750000,3,INT,10,9,1.5,inf,"))
        << rows[9].toStdString();
    EXPECT_TRUE(rows[47].startsWith("2026-12-07T07:15:05.123Z,3.000000,3,INT,48,"))
        << rows[47].toStdString();

    // The scope's export of what it holds is the recording's rows from when it joined.
    std::ostringstream exported;
    ASSERT_TRUE(writeHistoryCsv(exported, history, history.first(), history.end()));
    const QByteArray expected =
        RecordingFormat::kHeaderLine.data() + rows.mid(24).join('\n') + '\n';
    EXPECT_EQ(exported.str(), expected.toStdString());
}

// A recording opened during a run counts its seconds from the run's Start; a file that holds
// the run's number already gives the run the next free one, for every observer.
TEST(RecordStory, ARecordingOpenedDuringARunKeepsItsStartAndTakesAFreeNumber)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("later.csv"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(RecordingFormat::kHeaderLine.data()) +
               "2026-12-06T08:00:00.000Z,0.000000,5,INT,1,1,2,3,4,5,6,7,8\n");
    file.close();
    test::PseudoTerminal board;
    test::ManualClock clock;
    RunSession session;
    session.setClock(clock);
    session.setDevice(QString::fromStdString(board.slavePath()));
    HistoryStore history;
    session.addObserver(&history);
    ASSERT_TRUE(session.start(Mode::Mcp3201));
    const auto block = [&](const std::string &line) {
        clock.advance(std::chrono::seconds(2));
        const std::int64_t before = session.run()->count();
        ASSERT_TRUE(board.write(line));
        ASSERT_TRUE(QTest::qWaitFor([&] { return session.run()->count() == before + 1; }, 5000));
    };
    block("MCP 0:1 1:2\n");
    ASSERT_TRUE(session.startRecording(path, true));
    block("MCP 0:3 1:4\n");
    session.stop();
    session.stopRecording();
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(
        file.readAll().endsWith("2026-12-07T08:15:06.123Z,4.000000,6,MCP3201,2,3,4,,,,,,\n"));
    EXPECT_EQ(history.run(0), 1);
    EXPECT_EQ(history.run(1), 6);
    ASSERT_TRUE(session.start(Mode::Mcp3201));
    EXPECT_EQ(session.run()->runStart().run, 7);
}

} // namespace
} // namespace adc
