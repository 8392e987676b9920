#include "LineFeeder.h"
#include "PseudoTerminal.h"
#include "QtSerialControl.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace adc {
namespace {

using test::LineFeeder;
using test::PseudoTerminal;

/// A port on a fresh pseudo-terminal, started with the board's start sequence.
class QtSerialControlData : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_pty.isOpen());
        ASSERT_TRUE(start()) << m_port.errorText();
    }

    bool start()
    {
        return m_port.setLineSettings({}) && m_port.setPortOpen(true) &&
               m_port.setRtsEnable(true) && m_port.setInBufferCount(0);
    }

    /// Reads in blocks of `block` until `count` bytes came or nothing more comes.
    std::string readBlocks(std::size_t count, std::size_t block, std::size_t *largestRead = nullptr)
    {
        std::string got;
        std::vector<char> buffer(block);
        while (got.size() < count) {
            const std::size_t n = m_port.input(buffer.data(), buffer.size());
            if (n == 0) {
                if (!QTest::qWaitFor([this] { return m_port.inBufferCount() > 0; }, 5000)) {
                    break;
                }
                continue;
            }
            if (largestRead && n > *largestRead) {
                *largestRead = n;
            }
            got.append(buffer.data(), n);
        }
        return got;
    }

    PseudoTerminal m_pty;
    QtSerialControl m_port{QString::fromStdString(m_pty.slavePath())};
};

std::string everyByteValue(std::size_t repeats)
{
    std::string bytes;
    for (std::size_t r = 0; r < repeats; ++r) {
        for (int value = 0; value < 256; ++value) {
            bytes.push_back(static_cast<char>(value ^ static_cast<int>(r & 0xff)));
        }
    }
    return bytes;
}

TEST_F(QtSerialControlData, BytesArriveInOrderAndUnchangedInBlocks)
{
    QSignalSpy waiting(&m_port, &QtSerialControl::dataWaiting);
    const std::string sent = everyByteValue(400);
    LineFeeder board(m_pty, {{sent}});

    std::size_t largest = 0;
    const std::string got = readBlocks(sent.size(), 16 * 1024, &largest);
    EXPECT_EQ(got.size(), sent.size());
    EXPECT_TRUE(got == sent) << "the bytes differ from what the board sent";
    EXPECT_GT(largest, 1u) << "reads must return blocks, whatever the read length";
    EXPECT_GE(waiting.count(), 1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return board.succeeded(); }, 5000));
    EXPECT_EQ(m_port.input(std::vector<char>(16).data(), 16), 0u);
}

TEST_F(QtSerialControlData, ReadsAtMostTheAskedNumberOfBytes)
{
    ASSERT_TRUE(m_pty.write("PIC 1:2 3:4\n"));
    ASSERT_TRUE(QTest::qWaitFor([this] { return m_port.inBufferCount() == 12; }, 5000));
    char buffer[16] = {};
    EXPECT_EQ(m_port.input(buffer, 3), 3u);
    EXPECT_EQ(std::string(buffer, 3), "PIC");
    EXPECT_EQ(m_port.inBufferCount(), 9u);
    EXPECT_EQ(m_port.input(buffer, sizeof buffer), 9u);
    EXPECT_EQ(std::string(buffer, 9), " 1:2 3:4\n");
}

TEST_F(QtSerialControlData, EmptyingTheBufferDropsWhatCameBefore)
{
    // Taken in by the port already...
    ASSERT_TRUE(m_pty.write(std::string("old\0data", 8)));
    ASSERT_TRUE(QTest::qWaitFor([this] { return m_port.inBufferCount() == 8; }, 5000));
    // ...and still waiting in the driver, not yet seen by the port (no events are handled
    // meanwhile, so the port cannot take them in).
    ASSERT_TRUE(m_pty.write("stale"));
    for (int tries = 0; tries < 500 && m_pty.waitingAtSlave() < 5; ++tries) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_EQ(m_pty.waitingAtSlave(), 5);
    ASSERT_EQ(m_port.inBufferCount(), 8u);

    ASSERT_TRUE(m_port.setInBufferCount(0));
    EXPECT_EQ(m_port.inBufferCount(), 0u);
    QTest::qWait(100);
    EXPECT_EQ(m_port.inBufferCount(), 0u);

    ASSERT_TRUE(m_pty.write("new"));
    EXPECT_EQ(readBlocks(3, 64), "new");
    QTest::qWait(50);
    EXPECT_EQ(m_port.inBufferCount(), 0u);
}

TEST_F(QtSerialControlData, StartingAgainOnAnOpenPortIsAFreshStart)
{
    ASSERT_TRUE(m_pty.write("before"));
    ASSERT_TRUE(QTest::qWaitFor([this] { return m_port.inBufferCount() == 6; }, 5000));
    ASSERT_TRUE(start()) << m_port.errorText();
    EXPECT_TRUE(m_port.portOpen());
    EXPECT_EQ(m_port.inBufferCount(), 0u);
    ASSERT_TRUE(m_pty.write("after"));
    EXPECT_EQ(readBlocks(5, 64), "after");
}

TEST_F(QtSerialControlData, AClosedPortReadsNothing)
{
    ASSERT_TRUE(m_pty.write("left over"));
    ASSERT_TRUE(QTest::qWaitFor([this] { return m_port.inBufferCount() > 0; }, 5000));
    ASSERT_TRUE(m_port.setPortOpen(false));
    EXPECT_FALSE(m_port.portOpen());
    char buffer[16];
    EXPECT_EQ(m_port.inBufferCount(), 0u);
    EXPECT_EQ(m_port.input(buffer, sizeof buffer), 0u);
    EXPECT_TRUE(m_port.setPortOpen(false));
}

TEST_F(QtSerialControlData, ALineWithoutRtsIsNoError)
{
    QSignalSpy failed(&m_port, &QtSerialControl::failed);
    EXPECT_TRUE(m_port.setRtsEnable(true)) << m_port.errorText();
    EXPECT_TRUE(m_port.setRtsEnable(false)) << m_port.errorText();
    EXPECT_TRUE(m_port.setRtsEnable(true)) << m_port.errorText();
    QTest::qWait(100);
    EXPECT_EQ(failed.count(), 0);
    EXPECT_TRUE(m_port.portOpen());
    ASSERT_TRUE(m_pty.write("still here"));
    EXPECT_EQ(readBlocks(10, 64), "still here");
}

TEST_F(QtSerialControlData, AReaderThatFallsBehindHoldsTheBoardBackWithoutLoss)
{
    const std::string sent = everyByteValue(6 * 1024); // 1.5 MiB, more than the port holds
    LineFeeder board(m_pty, {{sent}});

    // Nobody reads: the port fills up to its limit and stops there.
    ASSERT_TRUE(QTest::qWaitFor(
        [this] {
            return static_cast<qint64>(m_port.inBufferCount()) >= QtSerialControl::kReadBufferSize;
        },
        10000));
    QTest::qWait(200);
    EXPECT_EQ(static_cast<qint64>(m_port.inBufferCount()), QtSerialControl::kReadBufferSize);
    EXPECT_FALSE(board.succeeded());

    const std::string got = readBlocks(sent.size(), 64 * 1024);
    EXPECT_EQ(got.size(), sent.size());
    EXPECT_TRUE(got == sent) << "bytes were lost or changed";
    EXPECT_TRUE(QTest::qWaitFor([&] { return board.succeeded(); }, 5000));
}

} // namespace
} // namespace adc
