#pragma once

#include "PseudoTerminal.h"

#include <termios.h>

#include <atomic>
#include <chrono>
#include <string>
#include <string_view>
#include <thread>

namespace adc::test {

/// Plays the board on a background thread: writes `bytes` into the master side in chunks, held
/// back by the line whenever the reader falls behind.
class BoardWriter {
public:
    BoardWriter(PseudoTerminal &pty, std::string bytes)
        : m_pty(pty), m_bytes(std::move(bytes)), m_thread([this] { run(); })
    {
    }

    /// Stops the writer; a line that nobody reads any more is emptied until the thread ends.
    ~BoardWriter()
    {
        m_stop = true;
        while (!m_finished) {
            if (m_pty.slaveFd() >= 0) {
                ::tcflush(m_pty.slaveFd(), TCIFLUSH);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        m_thread.join();
    }

    BoardWriter(const BoardWriter &) = delete;
    BoardWriter &operator=(const BoardWriter &) = delete;

    /// Whether every byte went into the line.
    bool finished() const { return m_finished && m_ok; }

private:
    void run()
    {
        constexpr std::size_t chunk = 4096;
        std::string_view rest = m_bytes;
        while (!rest.empty() && !m_stop) {
            const std::string_view part = rest.substr(0, chunk);
            if (!m_pty.write(part)) {
                m_ok = false;
                break;
            }
            rest.remove_prefix(part.size());
        }
        m_ok = m_ok && rest.empty();
        m_finished = true;
    }

    PseudoTerminal &m_pty;
    std::string m_bytes;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_finished{false};
    std::atomic<bool> m_ok{true};
    std::thread m_thread;
};

} // namespace adc::test
