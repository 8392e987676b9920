#include "ConsoleWindow.h"
#include "PortScanner.h"
#include "PseudoTerminal.h"
#include "RunSession.h"
#include "SerialMessages.h"
#include "WindowTestHelpers.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace adc;

// A board printing CSV lines: the window counts them and tells the line's state; the port lost
// is told as the main window tells it, once, and closing the window ends the run.
TEST(ConsoleWindow, CountsTheLinesAndTellsALostPortAsTheMainWindowDoes)
{
    test::PseudoTerminal board;
    ASSERT_TRUE(board.isOpen());
    RunSession session;
    PortScanner scanner;
    StartSettings settings;
    settings.format = Format::Csv;
    settings.device = QString::fromStdString(board.slavePath());
    ConsoleWindow window(session, scanner, settings);
    window.show();
    window.startRun();
    // The first line after the port opens may have been cut, and is passed over.
    ASSERT_TRUE(board.write("5,6\nt,p\n1.5,2\n2.5,3\n3.5,4\nabc,5\n"));
    ASSERT_TRUE(test::waitUntil([&] { return session.wireLog().total() == 6; }));
    window.tick();
    EXPECT_EQ(window.count()->text(), QStringLiteral("3 records"));
    EXPECT_EQ(window.state()->text(), QStringLiteral("Running"));
    EXPECT_TRUE(window.lineState()->text().contains(QStringLiteral("not a number")))
        << window.lineState()->text().toStdString();

    board.closeMaster();
    ASSERT_TRUE(test::waitUntil([&] { return window.failureBox() != nullptr; }));
    EXPECT_TRUE(window.failureBox()->text().contains(QString::fromStdString(board.slavePath())));
    EXPECT_EQ(test::visibleMessageBoxes(), 1);
    window.tick();
    EXPECT_EQ(window.state()->text(), QStringLiteral("Stopped"));

    QSignalSpy closed(&window, &ConsoleWindow::closed);
    window.close();
    EXPECT_EQ(closed.count(), 1);
    EXPECT_FALSE(session.port().portOpen());
}

TEST(ConsoleWindow, AMissingDeviceIsToldAndNothingRuns)
{
    RunSession session;
    PortScanner scanner;
    StartSettings settings;
    settings.format = Format::KeyValue;
    settings.device = QStringLiteral("/dev/adconverter-no-such-device");
    ConsoleWindow window(session, scanner, settings);
    window.show();
    window.startRun();
    // The scope goes on drawing its empty history.
    QTest::qWait(200);
    ASSERT_NE(window.failureBox(), nullptr);
    EXPECT_EQ(window.failureBox()->text(), SerialMessages::missing(settings.device));
    EXPECT_FALSE(session.port().portOpen());
    test::closeMessageBoxes();
}
