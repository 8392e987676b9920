#pragma once

#include <atomic>
#include <cstdint>
#include <string>

namespace adc {

/// The board's end of the serial line: a pseudo-terminal whose other end a reader opens like a
/// serial port, or a device or file named by the user.
///
/// For a pseudo-terminal the port keeps its own descriptor of the reader's end open, so that
/// the line never hangs up when readers come and go.
class BoardPort {
public:
    BoardPort() = default;
    ~BoardPort();
    BoardPort(const BoardPort &) = delete;
    BoardPort &operator=(const BoardPort &) = delete;

    /// Opens a pseudo-terminal and sets the reader's end to raw 8-bit characters at `baud`.
    /// Returns an error text, empty on success.
    std::string openPseudoTerminal(std::uint32_t baud);

    /// Opens `path` for writing, creating a file if there is none; a terminal device is set to
    /// raw 8-bit characters at `baud`. Returns an error text, empty on success.
    std::string openDevice(const std::string &path, std::uint32_t baud);

    /// Makes `path` a symbolic link to the reader's end. An earlier symbolic link there is
    /// replaced; anything else is left alone and reported. Returns an error text, empty on
    /// success.
    std::string makeLink(const std::string &path);

    /// Waits until a reader opens the pseudo-terminal, then gives it `settle` milliseconds to
    /// set the line up (a serial reader empties its input when it starts). Returns false when
    /// `stop` was set first or the opening cannot be watched.
    bool waitForReader(const std::atomic<bool> &stop, int settle);

    /// Removes the link (if it still points here) and closes the port.
    void close();

    /// Where lines are written (non-blocking).
    int writeFd() const { return m_writeFd; }
    /// The reader's end of a pseudo-terminal, to see what the reader has not taken yet; -1 for
    /// a device.
    int readerFd() const { return m_readerFd; }
    /// The path a reader opens.
    const std::string &readerPath() const { return m_readerPath; }

private:
    int m_writeFd = -1;
    int m_readerFd = -1;
    std::string m_readerPath;
    std::string m_link;
};

} // namespace adc
