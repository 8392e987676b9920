#include "BoardPort.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

namespace adc {

namespace {

std::string systemError(const std::string &what)
{
    return what + ": " + std::strerror(errno);
}

// The terminal speed of `baud`; B0 for a rate the terminal has no speed for.
speed_t speedOf(std::uint32_t baud)
{
    constexpr std::pair<std::uint32_t, speed_t> kSpeeds[] = {
        {300, B300},       {600, B600},       {1200, B1200},    {2400, B2400},   {4800, B4800},
        {9600, B9600},     {19200, B19200},   {38400, B38400},  {57600, B57600}, {115200, B115200},
        {230400, B230400}, {460800, B460800}, {921600, B921600}};
    const auto *found = std::ranges::find(kSpeeds, baud, &std::pair<std::uint32_t, speed_t>::first);
    return found == std::end(kSpeeds) ? B0 : found->second;
}

// Raw 8-bit characters: no echo, no line editing, no translation of carriage returns, no
// stripping of the eighth bit, no flow control characters.
bool makeRaw(int fd, std::uint32_t baud)
{
    termios settings{};
    if (tcgetattr(fd, &settings) != 0) {
        return false;
    }
    cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    if (const speed_t speed = speedOf(baud); speed != B0) {
        cfsetispeed(&settings, speed);
        cfsetospeed(&settings, speed);
    }
    return tcsetattr(fd, TCSANOW, &settings) == 0;
}

bool setFlags(int fd)
{
    const int flags = fcntl(fd, F_GETFL);
    return flags >= 0 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0 &&
           fcntl(fd, F_SETFD, FD_CLOEXEC) == 0;
}

} // namespace

BoardPort::~BoardPort()
{
    close();
}

std::string BoardPort::openPseudoTerminal(std::uint32_t baud)
{
    int master = -1;
    int slave = -1;
    char name[256] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        return systemError("cannot open a pseudo-terminal");
    }
    m_writeFd = master;
    m_readerFd = slave;
    m_readerPath = name;
    if (!makeRaw(slave, baud)) {
        return systemError("cannot set up the pseudo-terminal " + m_readerPath);
    }
    if (!setFlags(master) || fcntl(slave, F_SETFD, FD_CLOEXEC) != 0) {
        return systemError("cannot set up the pseudo-terminal " + m_readerPath);
    }
    return {};
}

std::string BoardPort::openDevice(const std::string &path, std::uint32_t baud)
{
    const int fd = ::open(path.c_str(),
                          O_WRONLY | O_CREAT | O_TRUNC | O_NOCTTY | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0) {
        return systemError("cannot open " + path);
    }
    m_writeFd = fd;
    m_readerPath = path;
    if (isatty(fd) && !makeRaw(fd, baud)) {
        return systemError("cannot set up " + path);
    }
    return {};
}

std::string BoardPort::makeLink(const std::string &path)
{
    struct stat info {};
    if (lstat(path.c_str(), &info) == 0 && !S_ISLNK(info.st_mode)) {
        return path + " exists and is not a symbolic link; not replacing it";
    }
    // Made under a temporary name and renamed, so that the name never points nowhere.
    const std::string temporary = path + ".new-" + std::to_string(getpid());
    unlink(temporary.c_str());
    if (symlink(m_readerPath.c_str(), temporary.c_str()) != 0) {
        return systemError("cannot make the link " + path);
    }
    if (rename(temporary.c_str(), path.c_str()) != 0) {
        const std::string error = systemError("cannot make the link " + path);
        unlink(temporary.c_str());
        return error;
    }
    m_link = path;
    return {};
}

bool BoardPort::waitForReader(const std::atomic<bool> &stop, int settle)
{
    const int watch = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    if (watch < 0) {
        return false;
    }
    bool opened = false;
    if (inotify_add_watch(watch, m_readerPath.c_str(), IN_OPEN) >= 0) {
        while (!stop && !opened) {
            pollfd fd{watch, POLLIN, 0};
            opened = ::poll(&fd, 1, 100) > 0 && (fd.revents & POLLIN) != 0;
        }
    }
    ::close(watch);
    if (opened && !stop) {
        ::poll(nullptr, 0, settle);
    }
    return opened && !stop;
}

void BoardPort::close()
{
    if (!m_link.empty()) {
        // Only our own link goes: another simulator may have taken the name over since.
        char target[4096];
        const ssize_t n = readlink(m_link.c_str(), target, sizeof target);
        if (n > 0 && std::string(target, static_cast<std::size_t>(n)) == m_readerPath) {
            unlink(m_link.c_str());
        }
        m_link.clear();
    }
    if (m_writeFd >= 0) {
        ::close(m_writeFd);
        m_writeFd = -1;
    }
    if (m_readerFd >= 0) {
        ::close(m_readerFd);
        m_readerFd = -1;
    }
}

} // namespace adc
