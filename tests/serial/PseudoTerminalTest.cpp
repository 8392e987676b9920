#include "PseudoTerminal.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <string>

namespace adc::test {
namespace {

std::string readSlave(int fd, std::size_t count)
{
    std::string got;
    while (got.size() < count) {
        pollfd pfd{fd, POLLIN, 0};
        if (::poll(&pfd, 1, 2000) <= 0) {
            break;
        }
        char chunk[256];
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n <= 0) {
            break;
        }
        got.append(chunk, static_cast<std::size_t>(n));
    }
    return got;
}

TEST(SerialPseudoTerminal, CarriesEveryByteValueBothWays)
{
    PseudoTerminal pty;
    ASSERT_TRUE(pty.isOpen());
    EXPECT_EQ(pty.slavePath().rfind("/dev/pts/", 0), 0u) << pty.slavePath();

    std::string all;
    for (int value = 0; value < 256; ++value) {
        all.push_back(static_cast<char>(value));
    }
    ASSERT_TRUE(pty.write(all));
    EXPECT_EQ(readSlave(pty.slaveFd(), all.size()), all);

    ASSERT_EQ(::write(pty.slaveFd(), all.data(), all.size()), static_cast<ssize_t>(all.size()));
    EXPECT_EQ(pty.readAvailable(2000), all);
    EXPECT_EQ(pty.readAvailable(50), "");
}

TEST(SerialPseudoTerminal, ReadsBackTheSettingsOfTheLine)
{
    PseudoTerminal pty;
    ASSERT_TRUE(pty.isOpen());
    termios tio{};
    ASSERT_EQ(::tcgetattr(pty.slaveFd(), &tio), 0);
    ::cfsetispeed(&tio, B19200);
    ::cfsetospeed(&tio, B19200);
    tio.c_cflag |= CSTOPB;
    ASSERT_EQ(::tcsetattr(pty.slaveFd(), TCSANOW, &tio), 0);

    const PseudoTerminal::LineSettings line = pty.lineSettings();
    EXPECT_EQ(line.baud, 19200);
    EXPECT_EQ(line.parity, 'N');
    EXPECT_EQ(line.dataBits, 8);
    EXPECT_EQ(line.stopBits, 2);

    // Read back through a fresh descriptor when the object's own one is gone.
    pty.closeSlave();
    EXPECT_EQ(pty.lineSettings().baud, 19200);
}

TEST(SerialPseudoTerminal, ClosingTheMasterHangsUpTheSlave)
{
    PseudoTerminal pty;
    ASSERT_TRUE(pty.isOpen());
    pty.closeMaster();
    EXPECT_FALSE(pty.isOpen());
    EXPECT_FALSE(pty.write("x"));
    pollfd pfd{pty.slaveFd(), POLLIN, 0};
    ASSERT_EQ(::poll(&pfd, 1, 1000), 1);
    EXPECT_TRUE(pfd.revents & POLLHUP);
}

} // namespace
} // namespace adc::test
