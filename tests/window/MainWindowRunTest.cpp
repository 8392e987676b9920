#include "BoardLines.h"
#include "MainWindow.h"
#include "PseudoTerminal.h"
#include "WindowTestHelpers.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QMessageBox>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>

namespace adc {
namespace {

using test::closeMessageBoxes;
using test::colourOf;
using test::inkPixels;
using test::intRow;
using test::kCrLf;
using test::visibleMessageBoxes;

/// One INT-mode line as the board sends it, ended by CR LF.
std::string picRecord(const std::array<int, 8> &values)
{
    return test::picRecord(values, kCrLf);
}

class MainWindowRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(pty.isOpen());
        session.setDevice(QString::fromStdString(pty.slavePath()));
        window = std::make_unique<MainWindow>(session);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }

    void TearDown() override
    {
        closeMessageBoxes();
        window.reset();
    }

    void send(const std::string &bytes) { ASSERT_TRUE(pty.write(bytes)); }
    QColor chartAt(int x, int y) const { return window->Picture1->image().pixelColor(x, y); }
    QString count() const { return window->TIMES_TEXT->text(); }

    test::PseudoTerminal pty;
    RunSession session;
    std::unique_ptr<MainWindow> window;
};

TEST_F(MainWindowRun, IntRunShowsValuesCountIndicatorAndTraces)
{
    QTest::mouseClick(window->Command1, Qt::LeftButton);
    ASSERT_TRUE(session.port().portOpen());
    EXPECT_EQ(window->Shape1->fillColour(), QColor(0, 255, 0));

    const std::array<int, 8> first{0, 100, 200, 300, 400, 500, 600, 700};
    send(picRecord(first));
    ASSERT_TRUE(test::waitUntil([&] { return count() == QStringLiteral("1"); }, 5000))
        << "the counter shows " << count().toStdString();
    for (int k = 0; k < 7; ++k) {
        EXPECT_EQ(window->Text[k]->text(), QStringLiteral("0%1").arg(first[k]));
    }
    // The last field keeps the board's carriage return.
    EXPECT_EQ(window->Text[7]->text(), QStringLiteral("0700\r"));
    // The first record draws level segments from x 0 to 25 twips (pixels 0 and 1).
    for (int k = 0; k < 8; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(chartAt(0, intRow(first[k])), colourOf(Mode::Int, k));
        EXPECT_EQ(chartAt(1, intRow(first[k])), colourOf(Mode::Int, k));
    }
    EXPECT_EQ(inkPixels(window->Picture1->image()), 16);

    // The second record joins the first: channel 0 from 0 up to 1023 between x 25 and 50.
    send(picRecord({1023, 100, 200, 300, 400, 500, 600, 700}));
    ASSERT_TRUE(test::waitUntil([&] { return count() == QStringLiteral("2"); }, 5000))
        << "the counter shows " << count().toStdString();
    EXPECT_EQ(window->Text[0]->text(), QStringLiteral("01023"));
    EXPECT_EQ(chartAt(1, intRow(0)), colourOf(Mode::Int, 0));
    EXPECT_EQ(chartAt(3, intRow(1023)), colourOf(Mode::Int, 0));
    // In between the climb leaves one pixel on every row; the level traces of channels 1-7
    // cross it and lie on top.
    for (int y = intRow(1023) + 1; y < intRow(0); ++y) {
        bool levelRow = false;
        for (int k = 1; k < 8; ++k) {
            levelRow = levelRow || y == intRow(first[k]);
        }
        if (levelRow) {
            EXPECT_EQ(inkPixels(window->Picture1->image(), QRect(1, y, 3, 1)), 3) << "row " << y;
        } else {
            EXPECT_EQ(inkPixels(window->Picture1->image(), QRect(1, y, 3, 1)), 1) << "row " << y;
        }
    }
    EXPECT_EQ(chartAt(3, intRow(first[7])), colourOf(Mode::Int, 7));

    // Records with the wrong tag change nothing.
    send("PIX 0:1 1:1 2:1 3:1 4:1 5:1 6:1 7:1\n");
    send(picRecord({5, 5, 5, 5, 5, 5, 5, 5}));
    ASSERT_TRUE(test::waitUntil([&] { return count() == QStringLiteral("3"); }, 5000))
        << "the counter shows " << count().toStdString();
    EXPECT_EQ(window->Text[7]->text(), QStringLiteral("05\r"));
    EXPECT_EQ(window->Shape1->fillColour(), QColor(0, 255, 0));
}

TEST_F(MainWindowRun, McpStartEmptiesTheBoxesItDoesNotUse)
{
    // Boxes 2-7 return to what they showed at start-up, whatever an INT run or the user put
    // there.
    QTest::mouseClick(window->Command1, Qt::LeftButton);
    send(picRecord({1, 2, 3, 4, 5, 6, 7, 8}));
    ASSERT_TRUE(test::waitUntil([&] { return count() == QStringLiteral("1"); }, 5000));
    QTest::keyClicks(window->Text[5], QStringLiteral("typed"));
    QTest::mouseClick(window->Command4, Qt::LeftButton);
    QTest::mouseClick(window->Command2, Qt::LeftButton);
    ASSERT_TRUE(session.port().portOpen());
    send("MCP 0:4095 1:0\n");
    ASSERT_TRUE(
        test::waitUntil([&] { return window->Text[0]->text() == QStringLiteral("04095"); }, 5000))
        << "box 0 shows " << window->Text[0]->text().toStdString();
    EXPECT_EQ(count(), QStringLiteral("1"));
    EXPECT_EQ(window->Text[1]->text(), QStringLiteral("00"));
    for (int k = 2; k < kMaxChannels; ++k) {
        EXPECT_EQ(window->Text[k]->text(), QStringLiteral("0")) << "box " << k;
    }
    // Channel 0 in red at the top row, channel 1 in blue at 4095 twips.
    EXPECT_EQ(chartAt(0, 0), QColor(255, 0, 0));
    EXPECT_EQ(chartAt(0, 4095 / 15), QColor(0, 0, 255));
    // INT records are not taken in this mode.
    send(picRecord({1, 2, 3, 4, 5, 6, 7, 8}));
    send("MCP 0:10 1:20\n");
    ASSERT_TRUE(test::waitUntil([&] { return count() == QStringLiteral("2"); }, 5000))
        << "the counter shows " << count().toStdString();
    EXPECT_EQ(window->Text[0]->text(), QStringLiteral("010"));
}

TEST_F(MainWindowRun, ClearDuringARunKeepsTheCountAndThePlotPosition)
{
    QTest::mouseClick(window->Command1, Qt::LeftButton);
    for (int i = 0; i < 3; ++i) {
        send(picRecord({100, 100, 100, 100, 100, 100, 100, 100}));
    }
    ASSERT_TRUE(test::waitUntil([&] { return count() == QStringLiteral("3"); }, 5000))
        << "the counter shows " << count().toStdString();
    ASSERT_TRUE(test::waitUntil([&] { return !window->display().hasPending(); }, 1000));
    ASSERT_GT(inkPixels(window->Picture1->image()), 0);

    QTest::mouseClick(window->Command4, Qt::LeftButton);
    EXPECT_EQ(inkPixels(window->Picture1->image()), 0);
    EXPECT_EQ(count(), QStringLiteral("3"));
    EXPECT_EQ(window->Text[0]->text(), QStringLiteral("0100"));
    EXPECT_TRUE(session.port().portOpen());

    // The fourth record draws from x 75 to 100 twips: pixels 5 and 6, not the left edge.
    send(picRecord({100, 100, 100, 100, 100, 100, 100, 100}));
    ASSERT_TRUE(test::waitUntil([&] { return count() == QStringLiteral("4"); }, 5000))
        << "the counter shows " << count().toStdString();
    ASSERT_TRUE(test::waitUntil([&] { return !window->display().hasPending(); }, 1000));
    EXPECT_EQ(chartAt(5, intRow(100)), colourOf(Mode::Int, 7));
    EXPECT_EQ(chartAt(6, intRow(100)), colourOf(Mode::Int, 7));
    EXPECT_EQ(inkPixels(window->Picture1->image()), 2);
}

TEST_F(MainWindowRun, ASecondStartBeginsAfreshWithoutClearingTheChart)
{
    QTest::mouseClick(window->Command1, Qt::LeftButton);
    send(picRecord({0, 0, 0, 0, 0, 0, 0, 0}));
    send(picRecord({0, 0, 0, 0, 0, 0, 0, 0}));
    ASSERT_TRUE(test::waitUntil([&] { return count() == QStringLiteral("2"); }, 5000))
        << "the counter shows " << count().toStdString();
    ASSERT_TRUE(test::waitUntil([&] { return !window->display().hasPending(); }, 1000));
    const int oldInk = inkPixels(window->Picture1->image());
    ASSERT_GT(oldInk, 0);
    const AcquisitionRun *firstRun = window->run();

    QTest::mouseClick(window->Command1, Qt::LeftButton);
    EXPECT_NE(window->run(), firstRun);
    EXPECT_TRUE(session.port().portOpen());
    EXPECT_EQ(window->Shape1->fillColour(), QColor(0, 255, 0));
    // The chart still shows the first run.
    EXPECT_EQ(inkPixels(window->Picture1->image()), oldInk);

    send(picRecord({1000, 1000, 1000, 1000, 1000, 1000, 1000, 1000}));
    ASSERT_TRUE(test::waitUntil([&] { return count() == QStringLiteral("1"); }, 5000))
        << "the counter shows " << count().toStdString();
    ASSERT_TRUE(test::waitUntil([&] { return !window->display().hasPending(); }, 1000));
    EXPECT_EQ(window->Text[0]->text(), QStringLiteral("01000"));
    // A level segment at x 0 at the new values, beside the old traces.
    EXPECT_EQ(chartAt(0, intRow(1000)), colourOf(Mode::Int, 7));
    EXPECT_EQ(chartAt(0, intRow(0)), colourOf(Mode::Int, 7));
    EXPECT_EQ(chartAt(3, intRow(0)), colourOf(Mode::Int, 7));
}

TEST_F(MainWindowRun, AFloodOfRecordsIsTakenInTurns)
{
    // Small turns, so that most of what arrives is left waiting after each one.
    session.setServiceBudget(300);
    QTest::mouseClick(window->Command1, Qt::LeftButton);
    constexpr int kRecords = 4000;
    std::string all;
    for (int i = 1; i <= kRecords; ++i) {
        all += picRecord({i % 1024, 1, 2, 3, 4, 5, 6, i});
    }
    // The board sends as fast as the line takes it; the window keeps answering clicks.
    std::size_t sent = 0;
    bool cleared = false;
    const QDeadlineTimer deadline(20000);
    while (sent < all.size() && !deadline.hasExpired()) {
        if (pty.waitingAtSlave() < 2048) {
            const std::size_t chunk = std::min<std::size_t>(2048, all.size() - sent);
            ASSERT_TRUE(pty.write(std::string_view(all).substr(sent, chunk)));
            sent += chunk;
        }
        if (!cleared && sent > all.size() / 2) {
            QTest::mouseClick(window->Command4, Qt::LeftButton);
            cleared = true;
        }
        QCoreApplication::processEvents();
    }
    ASSERT_EQ(sent, all.size());
    ASSERT_TRUE(test::waitUntil([&] { return count() == QString::number(kRecords); }, 20000))
        << "the counter shows " << count().toStdString();
    EXPECT_EQ(window->Text[7]->text(), QStringLiteral("0%1\r").arg(kRecords));
    EXPECT_EQ(window->run()->count(), kRecords);
}

TEST_F(MainWindowRun, ExitClosesThePortFirstAndNothingRunsAfterwards)
{
    int unloads = 0;
    bool portOpenAtUnload = true;
    QObject::connect(window.get(), &MainWindow::unloaded, [&] {
        ++unloads;
        portOpenAtUnload = session.port().portOpen();
    });
    QTest::mouseClick(window->Command1, Qt::LeftButton);
    send(picRecord({1, 1, 1, 1, 1, 1, 1, 1}));
    ASSERT_TRUE(test::waitUntil([&] { return count() == QStringLiteral("1"); }, 5000))
        << "the counter shows " << count().toStdString();
    // What the board sends is taken by the program while the port is open.
    ASSERT_TRUE(test::waitUntil([&] { return pty.waitingAtSlave() == 0; }, 5000));

    QTest::mouseClick(window->Command3, Qt::LeftButton);
    EXPECT_EQ(unloads, 1);
    EXPECT_FALSE(portOpenAtUnload);
    EXPECT_FALSE(window->isVisible());

    const std::string late = picRecord({2, 2, 2, 2, 2, 2, 2, 2});
    send(late);
    QTest::qWait(200);
    // Nobody reads the line any more, and nothing was shown.
    EXPECT_EQ(pty.waitingAtSlave(), int(late.size()));
    EXPECT_EQ(count(), QStringLiteral("1"));
    EXPECT_FALSE(window->run()->running());
    window->close();
    EXPECT_EQ(unloads, 1);
}

TEST_F(MainWindowRun, TheCloseBoxUnloadsLikeExit)
{
    int unloads = 0;
    QObject::connect(window.get(), &MainWindow::unloaded, [&] { ++unloads; });
    QTest::mouseClick(window->Command2, Qt::LeftButton);
    ASSERT_TRUE(session.port().portOpen());
    window->close();
    EXPECT_EQ(unloads, 1);
    EXPECT_FALSE(session.port().portOpen());
    send("MCP 0:1 1:1\n");
    QTest::qWait(100);
    EXPECT_EQ(count(), QStringLiteral("0"));
}

TEST_F(MainWindowRun, AVanishedDeviceGivesOneMessageAndAGreyIndicator)
{
    QTest::mouseClick(window->Command1, Qt::LeftButton);
    send(picRecord({7, 7, 7, 7, 7, 7, 7, 7}));
    ASSERT_TRUE(test::waitUntil([&] { return count() == QStringLiteral("1"); }, 5000))
        << "the counter shows " << count().toStdString();

    pty.closeMaster();
    ASSERT_TRUE(test::waitUntil([&] { return window->failureBox() != nullptr; }, 5000));
    QTest::qWait(300);
    EXPECT_EQ(visibleMessageBoxes(), 1);
    EXPECT_FALSE(window->failureBox()->text().isEmpty());
    EXPECT_EQ(window->Shape1->fillColour(), QColor(192, 192, 192));
    EXPECT_FALSE(session.port().portOpen());
    EXPECT_FALSE(window->run()->running());
    // What was shown stays, and the window stays open.
    EXPECT_EQ(count(), QStringLiteral("1"));
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->isUnloaded());

    // Once the message is read the user may try again; the device is still gone.
    closeMessageBoxes();
    ASSERT_TRUE(test::waitUntil([&] { return window->failureBox() == nullptr; }, 1000));
    QTest::mouseClick(window->Command1, Qt::LeftButton);
    ASSERT_TRUE(test::waitUntil([&] { return visibleMessageBoxes() == 1; }, 1000));
    EXPECT_EQ(window->Shape1->fillColour(), QColor(192, 192, 192));
}

TEST(MainWindowMissingDevice, GivesOneMessageAndAGreyIndicator)
{
    RunSession session;
    session.setDevice(QStringLiteral("/dev/adconverter-no-such-device"));
    MainWindow window(session);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTest::mouseClick(window.Command1, Qt::LeftButton);
    EXPECT_FALSE(session.port().portOpen());
    EXPECT_EQ(window.Shape1->fillColour(), QColor(192, 192, 192));
    ASSERT_NE(window.failureBox(), nullptr);
    EXPECT_TRUE(
        window.failureBox()->text().contains(QStringLiteral("/dev/adconverter-no-such-device")));
    // The message does not hold up the program; another click adds no second box.
    QTest::mouseClick(window.Command2, Qt::LeftButton);
    QTest::qWait(100);
    EXPECT_EQ(visibleMessageBoxes(), 1);
    EXPECT_EQ(window.TIMES_TEXT->text(), QStringLiteral("0"));
    closeMessageBoxes();
}

TEST(MainWindowMissingDevice, ExitAndEveryCloseRequestEndTheProgramWhileTheMessageIsUp)
{
    // EXIT, the main window's close box, and the message's own close box as the window
    // manager asks for it: each ends the program.
    enum class Way { Exit, CloseWindow, CloseMessage };
    for (const Way way : {Way::Exit, Way::CloseWindow, Way::CloseMessage}) {
        SCOPED_TRACE(static_cast<int>(way));
        RunSession session;
        session.setDevice(QStringLiteral("/dev/adconverter-no-such-device"));
        MainWindow window(session);
        bool unloaded = false;
        QObject::connect(&window, &MainWindow::unloaded, [&] { unloaded = true; });
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        QTest::mouseClick(window.Command1, Qt::LeftButton);
        ASSERT_TRUE(test::waitUntil([] { return visibleMessageBoxes() == 1; }, 1000));
        // The window system closes only windows that no modal window blocks.
        EXPECT_EQ(QGuiApplication::modalWindow(), nullptr);
        switch (way) {
        case Way::Exit: // a click on EXIT as the window system delivers it
            QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {},
                              window.Command3->geometry().center());
            break;
        case Way::CloseWindow:
            window.windowHandle()->close();
            break;
        case Way::CloseMessage:
            window.failureBox()->windowHandle()->close();
            break;
        }
        EXPECT_TRUE(test::waitUntil([&] { return unloaded; }, 1000));
        EXPECT_FALSE(window.isVisible());
        EXPECT_EQ(visibleMessageBoxes(), 0);
        closeMessageBoxes();
    }
}

} // namespace
} // namespace adc
