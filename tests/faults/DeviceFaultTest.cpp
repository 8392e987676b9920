#include "FaultTest.h"
#include "WithoutFileOverride.h"

#include <QMessageBox>
#include <QTest>

#include <sys/stat.h>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace adc::test {
namespace {

const QColor kGrey(192, 192, 192);
const QColor kGreen(0, 255, 0);

/// Faults of the device itself: pulled, missing, or not ours to open.
class DeviceFault : public FaultTest {
protected:
    /// Message boxes the window owns, shown or not: a cascade would pile them up here.
    int messageBoxesOwned() const
    {
        return static_cast<int>(window->findChildren<QMessageBox *>().size());
    }
};

TEST_F(DeviceFault, ABoardResetMidRecordCostsOneSampleAndNoMore)
{
    click(window->Command1);
    ASSERT_TRUE(session.port().portOpen()) << session.port().errorText();
    probe->rebase();
    // The board resets after three fields and starts afresh: without a line feed in between,
    // both halves make one record, whose "P" in the middle is only a character.
    ASSERT_TRUE(line().write("PIC 0:11 1:12 2:13"));
    ASSERT_TRUE(line().write(picRecord({21, 22, 23, 24, 25, 26, 27, 28})));
    ASSERT_TRUE(settle(1));
    EXPECT_EQ(window->Text[1]->text(), QStringLiteral("012"));
    EXPECT_EQ(window->Text[2]->text(), QStringLiteral("013PIC"));
    EXPECT_EQ(window->Text[3]->text(), QStringLiteral("021"));
    EXPECT_EQ(window->Text[7]->text(), QStringLiteral("025"));
    ASSERT_TRUE(line().write(picRecord({31, 32, 33, 34, 35, 36, 37, 38})));
    ASSERT_TRUE(settle(2));
    EXPECT_EQ(window->Text[7]->text(), QStringLiteral("038"));
    EXPECT_EQ(window->Shape1->fillColour(), kGreen);
    expectHealthy(2 * 1024);
}

TEST_F(DeviceFault, APulledAdapterGivesOneMessageAndComesBackCountingFromOne)
{
    click(window->Command1);
    ASSERT_TRUE(session.port().portOpen()) << session.port().errorText();
    ASSERT_TRUE(line().write(picRecord({11, 12, 13, 14, 15, 16, 17, 18})));
    ASSERT_TRUE(line().write(picRecord({21, 22, 23, 24, 25, 26, 27, 28})));
    ASSERT_TRUE(settle(2));
    probe->rebase();

    // Half a record reaches the program, then the cable is pulled.
    ASSERT_TRUE(line().write("PIC 0:91 1:92 2:93 3:"));
    ASSERT_TRUE(waitFor([&] { return idle(); }, 5000, "the half record to be read"));
    line().closeMaster();
    ASSERT_TRUE(waitFor([&] { return window->failureBox() != nullptr; }, 5000,
                        "a message about the lost device"));
    // Whatever else the dead line reports adds no second message.
    QTest::qWait(300);
    EXPECT_EQ(visibleMessageBoxes(), 1);
    EXPECT_EQ(messageBoxesOwned(), 1);
    const QString message = window->failureBox()->text();
    EXPECT_TRUE(message.contains(devicePath())) << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("lost"))) << message.toStdString();
    EXPECT_EQ(window->Shape1->fillColour(), kGrey);
    EXPECT_FALSE(session.port().portOpen());
    EXPECT_FALSE(window->run()->running());
    // The half record was not counted and showed nothing.
    EXPECT_EQ(countText(), QStringLiteral("2"));
    EXPECT_EQ(window->run()->count(), 2);
    EXPECT_EQ(window->Text[0]->text(), QStringLiteral("021"));
    EXPECT_EQ(window->Text[3]->text(), QStringLiteral("024"));

    // The user reads the message; the adapter comes back under the same name on a new line.
    ASSERT_TRUE(dismissFailure());
    PseudoTerminal &back = plugInNewLine();
    click(window->Command1);
    ASSERT_TRUE(session.port().portOpen()) << session.port().errorText();
    EXPECT_EQ(window->Shape1->fillColour(), kGreen);
    EXPECT_EQ(window->failureBox(), nullptr);
    // The rest of the old record, without its start, is not a record on the new line.
    ASSERT_TRUE(back.write("94 4:95 5:96 6:97 7:98\n"));
    ASSERT_TRUE(back.write(picRecord({31, 32, 33, 34, 35, 36, 37, 38})));
    ASSERT_TRUE(settle(1));
    EXPECT_EQ(window->Text[0]->text(), QStringLiteral("031"));
    EXPECT_EQ(window->Text[7]->text(), QStringLiteral("038"));
    ASSERT_TRUE(back.write(picRecord({41, 42, 43, 44, 45, 46, 47, 48})));
    ASSERT_TRUE(settle(2));
    EXPECT_EQ(window->Text[7]->text(), QStringLiteral("048"));
    EXPECT_EQ(visibleMessageBoxes(), 0);
    expectHealthy(4 * 1024);
}

TEST_F(DeviceFault, APullDuringAFloodGivesOneMessageAndACountThatMatchesTheBoxes)
{
    click(window->Command1);
    ASSERT_TRUE(session.port().portOpen()) << session.port().errorText();
    // Record i carries i in channel 7; the board sends as fast as the line goes, then the cable
    // is pulled with records still on their way.
    constexpr int kRecords = 50000;
    std::vector<LineFeeder::Piece> pieces;
    pieces.reserve(kRecords);
    for (int i = 1; i <= kRecords; ++i) {
        pieces.push_back({picRecord({i % 1024, 1, 2, 3, 4, 5, 6, i})});
    }
    probe->rebase();
    LineFeeder feeder(line(), std::move(pieces), LineFeeder::Then::HangUp);
    ASSERT_TRUE(waitFor([&] { return feeder.done(); }, 30000, "the board's bytes"));
    ASSERT_TRUE(waitFor([&] { return window->failureBox() != nullptr; }, 5000,
                        "a message about the lost device"));
    QTest::qWait(300);
    EXPECT_EQ(visibleMessageBoxes(), 1);
    EXPECT_EQ(messageBoxesOwned(), 1);
    EXPECT_TRUE(window->failureBox()->text().contains(devicePath()));
    EXPECT_EQ(window->Shape1->fillColour(), kGrey);
    EXPECT_FALSE(session.port().portOpen());
    EXPECT_FALSE(window->display().hasPending());

    // Whatever was lost on the way, what is shown agrees with itself: the counter is the
    // number of the last record shown, and a record was either taken whole or not at all.
    const std::int64_t counted = window->run()->count();
    EXPECT_GE(counted, 1);
    EXPECT_LE(counted, kRecords);
    EXPECT_EQ(countText(), QString::number(counted));
    EXPECT_EQ(window->Text[7]->text(), QStringLiteral("0%1").arg(counted));
    EXPECT_EQ(window->Text[0]->text(), QStringLiteral("0%1").arg(counted % 1024));
    expectHealthy(4 * 1024);
}

TEST_F(DeviceFault, RepeatedPullsAndReplugsLeakNeitherMemoryNorDescriptors)
{
    const auto cycle = [&](int value) {
        click(window->Command1);
        ASSERT_TRUE(session.port().portOpen()) << session.port().errorText();
        ASSERT_TRUE(line().write(picRecord({value, 0, 0, 0, 0, 0, 0, value})));
        ASSERT_TRUE(settle(1));
        EXPECT_EQ(window->Text[7]->text(), QStringLiteral("0%1").arg(value));
        line().closeMaster();
        ASSERT_TRUE(waitFor([&] { return window->failureBox() != nullptr; }, 5000,
                            "a message about the lost device"));
        EXPECT_EQ(visibleMessageBoxes(), 1);
        ASSERT_TRUE(dismissFailure());
        plugInNewLine();
        releaseDeadLines();
    };
    // The first cycles settle what the program sets up once.
    for (int i = 0; i < 3; ++i) {
        cycle(i);
        ASSERT_FALSE(HasFatalFailure());
    }
    ASSERT_TRUE(waitFor([&] { return messageBoxesOwned() == 0; }, 2000, "the messages to go"));
    const int descriptors = openDescriptors();
    ASSERT_GT(descriptors, 0);
    probe->rebase();
    for (int i = 0; i < 30; ++i) {
        cycle(100 + i);
        ASSERT_FALSE(HasFatalFailure()) << "cycle " << i;
    }
    ASSERT_TRUE(waitFor([&] { return messageBoxesOwned() == 0; }, 2000, "the messages to go"));
    EXPECT_EQ(openDescriptors(), descriptors);
    expectHealthy(2 * 1024);
}

TEST_F(DeviceFault, AMissingDeviceGivesOneMessagePerStartAndNoCascade)
{
    removeDevice();
    click(window->Command1);
    EXPECT_FALSE(session.port().portOpen());
    EXPECT_EQ(window->Shape1->fillColour(), kGrey);
    ASSERT_NE(window->failureBox(), nullptr);
    const QString message = window->failureBox()->text();
    EXPECT_TRUE(message.contains(devicePath())) << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("does not exist"))) << message.toStdString();

    // Impatient clicks while the message is open: still one message, and the window answers.
    for (int i = 0; i < 5; ++i) {
        click(i % 2 == 0 ? window->Command2 : window->Command1);
    }
    QTest::qWait(200);
    EXPECT_EQ(visibleMessageBoxes(), 1);
    EXPECT_EQ(messageBoxesOwned(), 1);
    EXPECT_GT(probe->ticks(), 5);
    EXPECT_EQ(countText(), QStringLiteral("0"));

    // After the message is read, the next Start brings exactly one message again.
    ASSERT_TRUE(dismissFailure());
    ASSERT_TRUE(waitFor([&] { return messageBoxesOwned() == 0; }, 2000,
                        "the closed message to be deleted"));
    click(window->Command1);
    QTest::qWait(100);
    EXPECT_EQ(visibleMessageBoxes(), 1);
    EXPECT_EQ(messageBoxesOwned(), 1);
    EXPECT_EQ(window->Shape1->fillColour(), kGrey);

    // The adapter is plugged in: the same Start now runs.
    ASSERT_TRUE(dismissFailure());
    pointDeviceAt(line().slavePath());
    click(window->Command1);
    ASSERT_TRUE(session.port().portOpen()) << session.port().errorText();
    EXPECT_EQ(window->Shape1->fillColour(), kGreen);
    ASSERT_TRUE(line().write(picRecord({1, 2, 3, 4, 5, 6, 7, 8})));
    ASSERT_TRUE(settle(1));
    EXPECT_EQ(visibleMessageBoxes(), 0);
    expectHealthy(4 * 1024);
}

TEST_F(DeviceFault, ADeviceWithoutPermissionGivesOneMessageNamingItsOwnerGroupAndMode)
{
    const std::string slave = line().slavePath();
    struct stat before {};
    ASSERT_EQ(::stat(slave.c_str(), &before), 0);
    ASSERT_EQ(::chmod(slave.c_str(), 0), 0);
    {
        // From here on this thread opens files like any user, not like root.
        WithoutFileOverride unprivileged;
        const int probeFd = ::open(slave.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
        if (probeFd >= 0 || errno != EACCES) {
            if (probeFd >= 0) {
                ::close(probeFd);
            }
            ::chmod(slave.c_str(), before.st_mode & 07777);
            GTEST_SKIP() << "this process can open a device without read permission";
        }

        click(window->Command1);
        EXPECT_FALSE(session.port().portOpen());
        EXPECT_EQ(window->Shape1->fillColour(), kGrey);
        ASSERT_NE(window->failureBox(), nullptr);
        const QString message = window->failureBox()->text();
        EXPECT_TRUE(message.contains(devicePath())) << message.toStdString();
        EXPECT_TRUE(message.contains(QStringLiteral("permission denied"))) << message.toStdString();
        EXPECT_TRUE(message.contains(QStringLiteral("mode c---------"))) << message.toStdString();

        click(window->Command2);
        QTest::qWait(100);
        EXPECT_EQ(visibleMessageBoxes(), 1);
        EXPECT_EQ(messageBoxesOwned(), 1);
        EXPECT_FALSE(session.port().portOpen());
    }

    // The user has joined the group: the device opens and the run counts.
    ASSERT_EQ(::chmod(slave.c_str(), before.st_mode & 07777), 0);
    ASSERT_TRUE(dismissFailure());
    click(window->Command1);
    ASSERT_TRUE(session.port().portOpen()) << session.port().errorText();
    ASSERT_TRUE(line().write(picRecord({5, 5, 5, 5, 5, 5, 5, 5})));
    ASSERT_TRUE(settle(1));
    expectHealthy(4 * 1024);
}

} // namespace
} // namespace adc::test
