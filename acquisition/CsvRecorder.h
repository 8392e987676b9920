#pragma once

#include "RecordObserver.h"
#include "RecordingFormat.h"
#include "RowFields.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace adc {

/// Writes every accepted record as one CSV row:
///
///     time,seconds,run,mode,count,ch0,ch1,ch2,ch3,ch4,ch5,ch6,ch7
///     2026-12-07T08:15:02.123Z,0.052113,1,INT,1,512,1.5,1000,inf,0,0,0,0
///
/// The fields are those of the record's stamp and the record (see RowFields): `time` is the wall
/// clock in UTC with milliseconds and `seconds` the time since the run's Start, both read when
/// the characters that complete the record were taken from the port; `run` is the run's number,
/// `count` the sample count shown, and each channel holds its value written exactly and shortest
/// ("inf" where it saturated); the channels a mode lacks stay empty. Lines end with "\n".
///
/// The rows of another board's lines have the columns their channels are named by, under a
/// header line of their own (see RecordingFormat); a header line is written again before the
/// rows whenever the columns change, and when rows are added to a file whose last columns
/// differ.
///
/// Rows are gathered in memory and handed to the file in blocks of whole rows, one write each:
/// when a block is full, when the oldest waiting row is kFlushInterval old (checked with every
/// row and by flushIfDue(), which a timer calls on a quiet line; a header alone goes at its first
/// call), and at close(). Should the
/// program be killed, at most the rows of the last second are missing and no row is cut.
///
/// A failing write stops the recording: the file is cut back to the rows already safe in it,
/// errorText() says what happened, and later rows are ignored.
class CsvRecorder : public RecordObserver {
public:
    using MonotonicClock = std::chrono::steady_clock;

    /// The header line a new file starts with.
    static constexpr std::string_view kHeader = RecordingFormat::kHeaderLine;
    /// Longest a row waits in memory before it is handed to the file (plus one timer tick on a
    /// quiet line).
    static constexpr std::chrono::milliseconds kFlushInterval{500};
    /// Rows are handed to the file once this many bytes are waiting.
    static constexpr std::size_t kBlockSize = 64 * 1024;
    /// The path that stands for standard output.
    static constexpr std::string_view kStandardOutput = "-";

    CsvRecorder() = default;
    /// Closes the file, handing it every waiting row first.
    ~CsvRecorder() override;
    CsvRecorder(const CsvRecorder &) = delete;
    CsvRecorder &operator=(const CsvRecorder &) = delete;

    /// The lines of the runs to be recorded: for the board (the default) a new file starts with
    /// the board's header at open(); for other boards' lines it starts with the header their
    /// channels' names make, once they are named. Set before open().
    void setFormat(Format format) { m_format = format; }

    /// Creates `path` and starts it with the header; "-" writes to standard output. An existing
    /// file is refused unless `append` is true; then rows go after its own, with the header only
    /// if it is empty, and lastRunInFile() tells its last run. Only a regular file is taken, and
    /// one appended to must begin with a header line of a recording: anything else is refused
    /// untouched, without waiting (a FIFO). Returns false, with errorText() saying why, when the
    /// file cannot be had.
    bool open(const std::string &path, bool append);
    /// The number of the last run in the file appended to, when it was opened; 0 for none.
    std::int64_t lastRunInFile() const { return m_lastRunInFile; }
    /// Closes the file as if open() had not been called, for a start that fails before any row:
    /// a file open() created is removed, one it appended to is cut back to its size before.
    void discard();

    void runStarted(const RunStart &start) override;
    void channelsNamed(std::span<const std::string> names) override;
    void charactersTaken(const Stamp &stamp) override;
    void recordAccepted(const AcceptedRecord &record) override;

    /// Hands the waiting rows to the file if the oldest has waited kFlushInterval by the
    /// monotonic time `now` (the clock the stamps are read from).
    void flushIfDue(MonotonicClock::time_point now);
    /// Hands every waiting row to the file now; false once recording has stopped on a failure.
    bool flush();
    /// Hands every waiting row to the file and closes it.
    void close();
    /// Closes the file at the program's end: one that open() created and that holds no row is
    /// removed, and noticeText() says so.
    void finish();

    /// Whether rows are being written: the file is open and no write has failed.
    bool recording() const { return m_file != nullptr; }
    /// Whether a write has failed, which stopped the recording.
    bool failed() const { return m_failed; }
    /// Whether the failure was the reader of standard output going away (a closed pipe).
    bool outputClosed() const { return m_outputClosed; }
    /// Why open() refused the file or why recording stopped, for the user.
    const std::string &errorText() const { return m_errorText; }
    /// What open() found worth telling about a file it took (one that ended in a partial row), or
    /// finish() about the file it removed; empty when nothing.
    const std::string &noticeText() const { return m_noticeText; }
    /// The path given to open().
    const std::string &path() const { return m_path; }
    /// Rows handed to the file so far (they survive the program).
    std::int64_t rowsWritten() const { return m_rowsWritten; }
    /// Rows recorded so far, those still waiting in memory included.
    std::int64_t rowsRecorded() const { return m_rowsWritten + m_pendingRows; }

private:
    bool openFile(const std::string &path, bool append);
    bool mayOpen(const std::string &path, bool append, bool &existed);
    bool continueRecording(int fd, std::uintmax_t size);
    void findLastRun(std::string_view tail, bool cutAtStart);
    void findColumns(std::string_view tail, bool cutAtStart);
    void stopAfterFailure(int error);
    std::string fileName() const;

    std::FILE *m_file = nullptr;
    std::string m_path;
    std::string m_buffer;
    std::string m_errorText;
    std::string m_noticeText;
    /// The header line the rows go under now; empty while none is known.
    std::string m_columns;
    Format m_format = Format::Board;
    Mode m_mode = Mode::Int;
    /// The fields of the last stamp, and when its characters were taken.
    RowFields m_fields;
    MonotonicClock::time_point m_takenAt{};
    MonotonicClock::time_point m_firstPending{};
    std::int64_t m_lastRunInFile = 0;
    std::int64_t m_rowsWritten = 0;
    std::int64_t m_pendingRows = 0;
    /// Bytes of the file that hold whole rows: where it is cut back to after a failed write.
    std::uintmax_t m_safeBytes = 0;
    /// The file's size when it was opened, and whether open() created it.
    std::uintmax_t m_openedSize = 0;
    bool m_created = false;
    bool m_failed = false;
    bool m_outputClosed = false;
    bool m_toStandardOutput = false;
};

} // namespace adc
