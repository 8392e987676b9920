#include "PseudoTerminal.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

// The kernel's termios with the speeds as numbers, as in <asm/termbits.h>, which cannot be
// included beside <termios.h>.
struct termios2 {
    tcflag_t c_iflag, c_oflag, c_cflag, c_lflag;
    cc_t c_line;
    cc_t c_cc[19];
    speed_t c_ispeed, c_ospeed;
};

namespace adc::test {

namespace {

/// The output speed of `fd` as a number, for a speed without a code of its own.
int otherBaudOf(int fd)
{
    termios2 settings{};
    return ::ioctl(fd, TCGETS2, &settings) == 0 ? static_cast<int>(settings.c_ospeed) : 0;
}

int baudOf(speed_t speed)
{
    struct Entry {
        speed_t speed;
        int baud;
    };
    static constexpr Entry table[] = {
        {B50, 50},           {B75, 75},           {B110, 110},         {B134, 134},
        {B150, 150},         {B200, 200},         {B300, 300},         {B600, 600},
        {B1200, 1200},       {B1800, 1800},       {B2400, 2400},       {B4800, 4800},
        {B9600, 9600},       {B19200, 19200},     {B38400, 38400},     {B57600, 57600},
        {B115200, 115200},   {B230400, 230400},   {B460800, 460800},   {B500000, 500000},
        {B576000, 576000},   {B921600, 921600},   {B1000000, 1000000}, {B1152000, 1152000},
        {B1500000, 1500000}, {B2000000, 2000000}, {B2500000, 2500000}, {B3000000, 3000000},
        {B3500000, 3500000}, {B4000000, 4000000},
    };
    for (const Entry &entry : table) {
        if (entry.speed == speed) {
            return entry.baud;
        }
    }
    return 0;
}

void closeFd(int &fd)
{
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

} // namespace

PseudoTerminal::PseudoTerminal()
{
    char name[128] = {};
    if (::openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0) {
        m_master = m_slave = -1;
        return;
    }
    m_slavePath = name;
    // A program the test starts must not inherit the line: a master held open there would
    // keep the line from hanging up when the test pulls it.
    ::fcntl(m_master, F_SETFD, FD_CLOEXEC);
    ::fcntl(m_slave, F_SETFD, FD_CLOEXEC);
    termios tio{};
    if (::tcgetattr(m_slave, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(m_slave, TCSANOW, &tio);
    }
}

PseudoTerminal::~PseudoTerminal()
{
    closeFd(m_slave);
    closeFd(m_master);
}

bool PseudoTerminal::write(std::string_view bytes)
{
    while (!bytes.empty()) {
        if (m_master < 0) {
            return false;
        }
        const ssize_t written = ::write(m_master, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            if (errno == EAGAIN) {
                pollfd pfd{m_master, POLLOUT, 0};
                ::poll(&pfd, 1, -1);
                continue;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

std::string PseudoTerminal::readAvailable(int timeoutMs)
{
    using Clock = std::chrono::steady_clock;
    constexpr int quietMs = 20;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string received;
    while (m_master >= 0) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            break;
        }
        const int wait = received.empty() ? static_cast<int>(left.count())
                                          : std::min(quietMs, static_cast<int>(left.count()));
        pollfd pfd{m_master, POLLIN, 0};
        const int ready = ::poll(&pfd, 1, wait);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0 || !(pfd.revents & POLLIN)) {
            if (ready == 0 && received.empty()) {
                continue;
            }
            break;
        }
        char chunk[4096];
        const ssize_t got = ::read(m_master, chunk, sizeof chunk);
        if (got <= 0) {
            break;
        }
        received.append(chunk, static_cast<std::size_t>(got));
    }
    return received;
}

int PseudoTerminal::waitingAtSlave() const
{
    int count = 0;
    if (m_slave < 0 || ::ioctl(m_slave, TIOCINQ, &count) != 0) {
        return 0;
    }
    return count;
}

void PseudoTerminal::closeMaster()
{
    closeFd(m_master);
}

void PseudoTerminal::closeSlave()
{
    closeFd(m_slave);
}

PseudoTerminal::LineSettings PseudoTerminal::lineSettings() const
{
    LineSettings settings{0, 'N', 0, 0};
    int fd = m_slave;
    if (fd < 0 && !m_slavePath.empty()) {
        fd = ::open(m_slavePath.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    }
    termios tio{};
    const bool ok = fd >= 0 && ::tcgetattr(fd, &tio) == 0;
    const int otherBaud = ok && baudOf(::cfgetospeed(&tio)) == 0 ? otherBaudOf(fd) : 0;
    if (fd >= 0 && fd != m_slave) {
        ::close(fd);
    }
    if (!ok) {
        return settings;
    }
    settings.baud = otherBaud > 0 ? otherBaud : baudOf(::cfgetospeed(&tio));
    if (tio.c_cflag & PARENB) {
        const bool odd = tio.c_cflag & PARODD;
        if (tio.c_cflag & CMSPAR) {
            settings.parity = odd ? 'M' : 'S';
        } else {
            settings.parity = odd ? 'O' : 'E';
        }
    }
    switch (tio.c_cflag & CSIZE) {
    case CS5:
        settings.dataBits = 5;
        break;
    case CS6:
        settings.dataBits = 6;
        break;
    case CS7:
        settings.dataBits = 7;
        break;
    default:
        settings.dataBits = 8;
        break;
    }
    settings.stopBits = (tio.c_cflag & CSTOPB) ? 2 : 1;
    return settings;
}

} // namespace adc::test
