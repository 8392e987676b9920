#include "PseudoTerminal.h"
#include "RunSession.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace adc {
namespace {

// A run of CSV lines on a pseudo-terminal: the wire log holds every line with its verdict,
// the names are told, and what is sent reaches the board byte for byte, only while a run goes.
TEST(SessionWire, LinesGoToTheWireLogAndSentBytesReachTheBoardOnlyDuringARun)
{
    test::PseudoTerminal board;
    RunSession session;
    session.setDevice(QString::fromStdString(board.slavePath()));
    QSignalSpy named(&session, &RunSession::channelsNamed);
    EXPECT_FALSE(session.send("x\n"));
    EXPECT_FALSE(session.sendError().isEmpty());

    session.setChannelCount(2);
    ASSERT_TRUE(session.start(Mode::Csv));
    ASSERT_TRUE(board.write("cut\nt,p\n1,2\n1,x\n"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return session.wireLog().total() == 4; }, 5000));
    EXPECT_EQ(session.run()->count(), 1);
    EXPECT_EQ(session.wireLog().entry(3).verdict, LineVerdict::dropped(DropReason::NotANumber));
    ASSERT_EQ(named.size(), 1);
    EXPECT_EQ(named[0][0].toStringList(), (QStringList{"t", "p"}));

    // Each line ending the send box offers goes out as given (the port writes from the event
    // loop).
    for (const std::string sent : {"go", "go\n", "go\r", "go\r\n"}) {
        ASSERT_TRUE(session.send(sent)) << session.sendError().toStdString();
        std::string got;
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return (got += board.readAvailable(20)).size() >= sent.size(); }));
        EXPECT_EQ(got, sent);
    }
    session.pauseWire(true);
    ASSERT_TRUE(board.write("3,4\n"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return session.run()->count() == 2; }, 5000));
    EXPECT_EQ(session.wireLog().size(), 4u);
    EXPECT_EQ(session.wireLog().takenSincePause(), 1);

    session.stop();
    EXPECT_FALSE(session.send("late\n"));
    QTest::qWait(50);
    EXPECT_EQ(board.readAvailable(50), "");
}

} // namespace
} // namespace adc
