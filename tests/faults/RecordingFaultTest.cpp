#include "CsvRecorder.h"
#include "FaultTest.h"
#include "FileSizeLimit.h"

#include <QFile>
#include <QTemporaryDir>

#include <string>

namespace adc::test {
namespace {

using RecordingFault = FaultTest;

QList<QByteArray> rowsOf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    QList<QByteArray> lines = file.readAll().split('\n');
    lines.removeLast(); // after the last line feed
    return lines;
}

TEST_F(RecordingFault, ANoisyFloodLeavesExactlyOneRowPerRecordShown)
{
    const QString path =
        QDir(QDir::tempPath())
            .filePath(QStringLiteral("adc-flood-%1.csv").arg(QCoreApplication::applicationPid()));
    QFile::remove(path);
    ASSERT_TRUE(session.startRecording(path, false)) << session.recordingError().toStdString();
    click(window->Command1);
    // Four records among the noise a line can carry: other tags, lines cut short, garbage.
    const std::string pattern =
        picRecord({1, 2, 3, 4, 5, 6, 7, 8}) + "MCP 0:1 1:2\n" +
        picRecordOfFields({"1.5", "1E3", "1E400", "0", "0", "0", "0", "7"}) + "PIC 0:1 1:2 2:3\n" +
        "pic 0:1 1:1 2:1 3:1 4:1 5:1 6:1 7:1\n" + "\x01\xff#noise\r\n" +
        picRecord({0, 0, 0, 0, 0, 0, 0, 1023}) +
        "PIC 0:1 1:2 2:3 3:4 4:5 5:6 6:7 7:8 9:too many fields\n";
    constexpr std::int64_t kTimes = 250'000;
    ASSERT_TRUE(feed({{pattern, kTimes}}, 4 * kTimes, 120'000));
    window->unload();
    const QList<QByteArray> rows = rowsOf(path);
    QFile::remove(path);
    ASSERT_EQ(rows.size() - 1, countText().toLongLong());
    EXPECT_EQ(rows.front(), QByteArray(CsvRecorder::kHeader.data()).trimmed());
    EXPECT_TRUE(rows[2].endsWith(",1,INT,2,1.5,1000,inf,0,0,0,0,7")) << rows[2].toStdString();
    EXPECT_TRUE(rows.back().endsWith(",1,INT,1000000,1,2,3,4,5,6,7,8"));
}

TEST_F(RecordingFault, AFailedWriteIsToldOnceAndTheRunGoesOn)
{
    // A full disk: no byte fits.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("full.csv"));
    ASSERT_TRUE(session.startRecording(path, false));
    click(window->Command2);
    FileSizeLimit nothingFits(0); // once the port and its lock file are open
    ASSERT_TRUE(feed({{"MCP 0:1 1:2\n", 10}}, 10));
    ASSERT_TRUE(
        waitFor([&] { return window->recordingFailureBox() != nullptr; }, 3000, "the message"));
    EXPECT_EQ(window->recordingFailureBox()->text(),
              QStringLiteral("Recording to %1 has stopped: File too large. The 0 rows recorded "
                             "before are safe in it.")
                  .arg(path));
    ASSERT_TRUE(feed({{"MCP 0:3 1:4\n", 10}}, 20));
    QTest::qWait(2 * RunSession::kFlushMilliseconds);
    EXPECT_EQ(visibleMessageBoxes(), 1);
    EXPECT_TRUE(window->run()->running());
}

} // namespace
} // namespace adc::test
