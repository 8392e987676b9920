#pragma once

#include "PseudoTerminal.h"

#include <atomic>
#include <cstddef>
#include <string>
#include <thread>
#include <vector>

namespace adc::test {

/// Plays the board on a background thread: writes a sequence of pieces into the master side of
/// the line, held back by the line whenever the program falls behind.
///
/// A piece is a pattern written a number of times, so that megabytes of noise cost the test
/// only the pattern; the program's memory can then be measured without the test's own.
class LineFeeder {
public:
    struct Piece {
        std::string pattern;
        std::size_t times = 1;
    };

    /// What the board does after the last piece.
    enum class Then {
        StayConnected,
        HangUp, ///< the master side is closed, as when the cable is pulled
    };

    /// Starts writing at once. The writer is the only one to touch the master side until it is
    /// done.
    LineFeeder(PseudoTerminal &pty, std::vector<Piece> pieces, Then then = Then::StayConnected);
    /// Stops the writer; a line that nobody reads any more is emptied until the thread ends.
    ~LineFeeder();

    LineFeeder(const LineFeeder &) = delete;
    LineFeeder &operator=(const LineFeeder &) = delete;

    /// Whether the writer has ended, with every byte written or after a failed write.
    bool done() const { return m_done; }
    /// Whether every byte went into the line.
    bool succeeded() const { return m_done && m_ok; }
    /// Bytes written so far.
    std::size_t written() const { return m_written; }

    /// The number of bytes `pieces` stand for.
    static std::size_t sizeOf(const std::vector<Piece> &pieces);

private:
    void run();

    PseudoTerminal &m_pty;
    std::vector<Piece> m_pieces;
    Then m_then;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_done{false};
    std::atomic<bool> m_ok{true};
    std::atomic<std::size_t> m_written{0};
    std::thread m_thread;
};

} // namespace adc::test
