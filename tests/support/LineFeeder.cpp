#include "LineFeeder.h"

#include <termios.h>

#include <algorithm>
#include <chrono>
#include <string_view>

namespace adc::test {

LineFeeder::LineFeeder(PseudoTerminal &pty, std::vector<Piece> pieces, Then then)
    : m_pty(pty), m_pieces(std::move(pieces)), m_then(then), m_thread([this] { run(); })
{
}

LineFeeder::~LineFeeder()
{
    m_stop = true;
    while (!m_done) {
        if (m_pty.slaveFd() >= 0) {
            ::tcflush(m_pty.slaveFd(), TCIFLUSH);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    m_thread.join();
}

std::size_t LineFeeder::sizeOf(const std::vector<Piece> &pieces)
{
    std::size_t total = 0;
    for (const Piece &piece : pieces) {
        total += piece.pattern.size() * piece.times;
    }
    return total;
}

void LineFeeder::run()
{
    // Small chunks, so that a stop request is seen soon even on a slow line.
    constexpr std::size_t kChunk = 16 * 1024;
    std::string chunk;
    chunk.reserve(kChunk);
    const auto send = [&]() {
        if (chunk.empty()) {
            return true;
        }
        if (!m_pty.write(chunk)) {
            return false;
        }
        m_written += chunk.size();
        chunk.clear();
        return !m_stop;
    };
    bool ok = true;
    for (const Piece &piece : m_pieces) {
        for (std::size_t i = 0; ok && i < piece.times; ++i) {
            std::string_view rest = piece.pattern;
            while (ok && !rest.empty()) {
                const std::size_t room = kChunk - chunk.size();
                chunk.append(rest.substr(0, room));
                rest.remove_prefix(std::min(room, rest.size()));
                if (chunk.size() == kChunk) {
                    ok = send();
                }
            }
        }
        if (!ok) {
            break;
        }
    }
    ok = ok && send();
    if (m_then == Then::HangUp) {
        m_pty.closeMaster();
    }
    m_ok = ok && m_written == sizeOf(m_pieces);
    m_done = true;
}

} // namespace adc::test
