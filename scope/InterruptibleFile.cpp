#include "InterruptibleFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace adc {

namespace {

constexpr std::size_t kBufferBytes = 256 * 1024;
constexpr int kWaitMilliseconds = 100;

} // namespace

InterruptibleFile::InterruptibleFile(const std::string &path, std::function<bool()> stop)
    : m_stop(std::move(stop))
{
    // Without O_NONBLOCK, opening a FIFO waits until something opens it for writing.
    m_fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat info {};
    if (m_fd < 0 || ::fstat(m_fd, &info) != 0) {
        m_error = std::strerror(errno);
    } else if (S_ISDIR(info.st_mode)) {
        m_error = "it is a directory";
    } else if (S_ISREG(info.st_mode)) {
        m_size = static_cast<std::uint64_t>(info.st_size);
    }
    if (!m_error.empty() && m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    m_buffer.resize(m_fd >= 0 ? kBufferBytes : 0);
}

InterruptibleFile::~InterruptibleFile()
{
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

InterruptibleFile::int_type InterruptibleFile::underflow()
{
    while (m_fd >= 0 && !(m_stop && m_stop())) {
        // A FIFO no writer has opened yet is not ready: the wait goes on until one does.
        pollfd ready{m_fd, POLLIN, 0};
        const int waiting = ::poll(&ready, 1, kWaitMilliseconds);
        if (waiting < 0 && errno != EINTR) {
            m_error = std::strerror(errno);
            break;
        }
        if (waiting <= 0) {
            continue;
        }
        const ssize_t got = ::read(m_fd, m_buffer.data(), m_buffer.size());
        if (got > 0) {
            setg(m_buffer.data(), m_buffer.data(), m_buffer.data() + got);
            return traits_type::to_int_type(m_buffer.front());
        }
        if (got == 0) {
            break;
        }
        if (errno != EAGAIN && errno != EINTR) {
            m_error = std::strerror(errno);
            break;
        }
    }
    return traits_type::eof();
}

} // namespace adc
