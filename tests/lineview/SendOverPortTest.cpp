#include "LineView.h"
#include "LineViewOpener.h"
#include "PseudoTerminal.h"
#include "RunSession.h"

#include <QTest>

#include <gtest/gtest.h>

using namespace adc;

// The send box of the line view writes to the board's port what was typed and the ending chosen,
// only while a run is going, and only when asked.
TEST(SendOverPort, EachEndingReachesTheBoardAndNothingGoesWithoutARun)
{
    test::PseudoTerminal board;
    ASSERT_TRUE(board.isOpen());
    RunSession session;
    session.setDevice(QString::fromStdString(board.slavePath()));
    LineViewOpener opener(session);
    opener.open();
    SendBox *box = opener.view()->sendBox();

    QTest::keyClicks(box->edit(), QStringLiteral("rate?"));
    box->sendButton()->click();
    EXPECT_FALSE(box->note()->text().isEmpty()) << "no run: the box says why";
    EXPECT_EQ(box->edit()->text(), QStringLiteral("rate?"));

    ASSERT_TRUE(session.start(Mode::Int));
    EXPECT_EQ(board.readAvailable(200), "") << "typing sends nothing";
    const std::pair<LineEnding, std::string> endings[] = {{LineEnding::None, ""},
                                                          {LineEnding::Lf, "\n"},
                                                          {LineEnding::Cr, "\r"},
                                                          {LineEnding::CrLf, "\r\n"}};
    for (const auto &[ending, bytes] : endings) {
        box->setEnding(ending);
        box->edit()->setText(QStringLiteral("rate 10"));
        QTest::keyClick(box->edit(), Qt::Key_Return);
        EXPECT_TRUE(box->note()->isHidden()) << box->note()->text().toStdString();
        EXPECT_EQ(board.readAvailable(2000), "rate 10" + bytes);
    }
    session.stop();
}
