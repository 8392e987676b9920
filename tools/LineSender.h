#pragma once

#include "LineSource.h"
#include "SimulatorOptions.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace adc {

/// What went out.
struct SendTally {
    std::uint64_t made = 0;        ///< lines the board produced
    std::uint64_t sent = 0;        ///< lines written whole
    std::uint64_t acceptedInt = 0; ///< of those, records an INT reader accepts
    std::uint64_t acceptedMcp = 0; ///< of those, records an MCP3201 reader accepts

    /// Lines that found no room and were dropped.
    std::uint64_t dropped() const { return made - sent; }
};

/// Writes the board's lines to a non-blocking descriptor, paced like a serial line, spaced as
/// recorded, or as fast as the reader takes them.
///
/// Lines are only ever dropped whole: a line that was started is finished before anything else
/// is written, so that the reader's count of good records matches the tally exactly. Only lines
/// written whole are counted as sent.
class LineSender {
public:
    LineSender(int fd, const SimulatorOptions &options);

    /// The reader's end of a pseudo-terminal: when the count is reached, the sender waits a
    /// little for the reader to take what is still queued there before it returns.
    void setReaderFd(int fd) { m_readerFd = fd; }

    /// Sends lines from `source` until the count is reached, the source ends or `stop` turns
    /// true. Returns an error text, empty when all went well. A reader going away or a full
    /// buffer is no error.
    std::string run(LineSource &source, const std::atomic<bool> &stop);

    const SendTally &tally() const { return m_tally; }

private:
    using Clock = std::chrono::steady_clock;

    enum class WriteStatus { Done, Full, Lost, Failed };
    /// The line the board is putting on the wire, and when its last character has gone out.
    struct PacedLine {
        std::string text;
        LineOutcome outcome;
        std::uint64_t prepared; ///< lines taken from the source so far
        Clock::time_point due;
    };
    struct Mark {
        std::size_t end; ///< offset just past the line in m_buffer
        LineOutcome outcome;
    };

    std::string runAsFastAsTaken(LineSource &source, const std::atomic<bool> &stop);
    std::string runPaced(LineSource &source, const std::atomic<bool> &stop);
    /// Takes the next line from `source` into `line`; false when there is none.
    bool prepare(LineSource &source, PacedLine &line);
    /// Queues and writes the lines due by `now`, or counts them lost while the reader's buffer
    /// is full; false when writing failed for good.
    bool sendDue(LineSource &source, PacedLine &next, Clock::time_point now, bool &haveNext);
    bool finished(const LineSource &source, std::uint64_t lines) const
    {
        return (m_count && lines >= *m_count) || !source.hasLine();
    }
    /// Waits `time` at most (and never long), writing what is queued as room appears; false
    /// when writing failed for good.
    bool waitForDue(Clock::duration time, const std::atomic<bool> &stop);
    /// How long the line of `bytes` just taken from `source` keeps the line busy.
    Clock::duration lineTime(std::size_t bytes, const LineSource &source) const;

    void queue(const std::string &line, LineOutcome outcome);
    void clearQueue();
    bool backlog() const { return m_written < m_buffer.size(); }
    WriteStatus writeQueued();
    /// Writes what is queued, then waits for room or for the reader as the outcome asks;
    /// false when the line failed for good.
    bool writeOrWait(const std::atomic<bool> &stop);
    void dropUnstarted();
    void waitWritable(Clock::duration timeout, const std::atomic<bool> &stop);
    void finishBacklog(const std::atomic<bool> &stop);
    void waitForReader(const std::atomic<bool> &stop);
    void discardInput();

    int m_fd;
    int m_readerFd = -1;
    SimulatorOptions::Pacing m_pacing;
    std::uint32_t m_baud;
    double m_rate;
    double m_speed;
    std::optional<std::uint64_t> m_count;

    std::string m_buffer;       ///< lines waiting to be written
    std::vector<Mark> m_marks;  ///< where each waiting line ends
    std::size_t m_written = 0;  ///< bytes of m_buffer written so far
    std::size_t m_nextMark = 0; ///< first line not yet written whole
    std::string m_error;
    SendTally m_tally;
};

} // namespace adc
