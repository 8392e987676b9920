#include "WindowMenu.h"
#include "BoardLines.h"
#include "LineFeeder.h"
#include "MainWindow.h"
#include "PortScanner.h"
#include "PseudoTerminal.h"
#include "WindowRecording.h"
#include "WindowTestHelpers.h"

#include <QFile>
#include <QMenu>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace adc {
namespace {

const std::string kIntLine = test::picRecord({1, 2, 3, 4, 5, 6, 7, 8});
const std::string kMcpLine = "MCP 0:10 1:20\n";

QString slavePath(const test::PseudoTerminal &pty)
{
    return QString::fromStdString(pty.slavePath());
}

/// The window with its menu, as the program makes them, on `device`.
struct MenuWindow {
    explicit MenuWindow(const QString &device) : window(session)
    {
        session.setDevice(device);
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    std::int64_t count() const { return window.run() ? window.run()->count() : -1; }

    RunSession session;
    MainWindow window;
    PortScanner scanner;
    WindowRecording recording{session, window};
    WindowMenu menu{window, session, recording, scanner, StartSettings{}};
};

TEST(WindowMenu, PortAndSpeedChosenDuringARunApplyAtTheNextStart)
{
    test::PseudoTerminal first;
    test::PseudoTerminal second;
    ASSERT_TRUE(first.isOpen() && second.isOpen());
    MenuWindow w(slavePath(first));
    QSignalSpy chosen(&w.menu, &WindowMenu::chosen);
    w.window.Command1->click();
    ASSERT_TRUE(w.window.run()->running());

    w.menu.chooseDevice(slavePath(second));
    w.menu.chooseBaud(19200);
    EXPECT_EQ(chosen.count(), 2);
    EXPECT_EQ(w.menu.choices().device, slavePath(second));
    EXPECT_EQ(w.menu.choices().baud, 19200);
    // The run going stays on the first device.
    ASSERT_TRUE(first.write(kIntLine));
    ASSERT_TRUE(test::waitUntil([&] { return w.count() == 1; }));
    EXPECT_EQ(w.session.port().port1Device(), slavePath(first));
    // The menu names the device and speed of the next Start.
    emit w.menu.menu()->aboutToShow();
    EXPECT_TRUE(w.menu.menu()->actions().at(0)->text().contains(slavePath(second)));
    EXPECT_TRUE(w.menu.menu()->actions().at(1)->text().contains(QStringLiteral("19200")));

    w.window.Command1->click();
    ASSERT_TRUE(w.window.run()->running()) << w.session.port().errorText();
    EXPECT_EQ(second.lineSettings().baud, 19200);
    ASSERT_TRUE(first.write(kIntLine));
    ASSERT_TRUE(second.write(kIntLine));
    ASSERT_TRUE(test::waitUntil([&] { return w.count() == 1; }));
    QTest::qWait(100);
    EXPECT_EQ(w.count(), 1) << "only the second device is read";
    // The window's look is untouched by choices that do not record.
    EXPECT_EQ(w.window.windowTitle(), QStringLiteral("AD Converter"));
}

/// The run, mode and count columns of every row of the CSV file at `path`, after its header.
std::vector<std::string> rowsOf(const QString &path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    std::vector<std::string> rows;
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (const QByteArray &line : lines) {
        const QList<QByteArray> fields = line.split(',');
        if (fields.size() > 4) {
            rows.push_back((fields[2] + ',' + fields[3] + ',' + fields[4]).toStdString());
        }
    }
    return rows;
}

TEST(WindowMenu, RecordingStartedAndStoppedFromTheMenuHoldsTheRowsInBetween)
{
    test::PseudoTerminal pty;
    ASSERT_TRUE(pty.isOpen());
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("bench.csv"));
    MenuWindow w(slavePath(pty));
    w.window.Command1->click();
    ASSERT_TRUE(pty.write(kIntLine + kIntLine));
    ASSERT_TRUE(test::waitUntil([&] { return w.count() == 2; }));

    // During a run: the rows from here on, counted in the title.
    ASSERT_TRUE(w.menu.startRecording(path));
    {
        test::LineFeeder board(pty, {{kIntLine, 1204}});
        ASSERT_TRUE(test::waitUntil([&] { return w.count() == 1206; }, 20000)) << w.count();
    }
    EXPECT_TRUE(test::waitUntil([&] {
        return w.window.windowTitle() ==
               QStringLiteral("AD Converter - recording bench.csv, 1,204 rows");
    })) << w.window.windowTitle().toStdString();
    emit w.menu.menu()->aboutToShow();
    EXPECT_TRUE(w.menu.menu()->actions().at(2)->text().contains(QStringLiteral("1,204 rows")));
    w.menu.stopRecording();
    EXPECT_EQ(w.window.windowTitle(), QStringLiteral("AD Converter"));
    ASSERT_TRUE(pty.write(kIntLine));
    ASSERT_TRUE(test::waitUntil([&] { return w.count() == 1207; }));

    // Again into the same file, then a Start: its rows follow, as the file's next run.
    ASSERT_TRUE(w.menu.startRecording(path));
    w.window.Command2->click();
    ASSERT_TRUE(pty.write(kMcpLine + kMcpLine));
    ASSERT_TRUE(test::waitUntil([&] { return w.count() == 2; }));
    w.menu.stopRecording();
    ASSERT_TRUE(pty.write(kMcpLine));
    ASSERT_TRUE(test::waitUntil([&] { return w.count() == 3; }));

    const std::vector<std::string> rows = rowsOf(path);
    // One header: the second recording adds its rows after the file's own.
    ASSERT_EQ(rows.size(), 1u + 1204u + 2u);
    EXPECT_EQ(rows.front(), "run,mode,count");
    EXPECT_EQ(rows[1], "1,INT,3");
    EXPECT_EQ(rows[1204], "1,INT,1206");
    // The runs go on from the file's last: run 2 is the INT run going when the recording began
    // again (no rows), the Start's run is 3.
    EXPECT_EQ(rows[1205], "3,MCP3201,1");
    EXPECT_EQ(rows[1206], "3,MCP3201,2");
}

} // namespace
} // namespace adc
