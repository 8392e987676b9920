#include "CsvRecorder.h"

#include "RecordingFormat.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace adc {

namespace {

// Longest row: the fixed columns and eight doubles in their longest shortest form.
constexpr std::size_t kMaxRowLength = RowFields::kMaxCsvRow;

std::string reasonOf(int error)
{
    return std::generic_category().message(error);
}

std::string notRegular(const std::string &path)
{
    return "The file " + path +
           " is not a regular file; a recording is written to a file of its own, or to - "
           "(standard output).";
}

std::string alreadyThere(const std::string &path)
{
    return "The file " + path +
           " already exists; choose another name, or give --append to add rows after its own.";
}

/// Field `index` of a row, or nothing when the row has no such field followed by a comma.
std::string_view fieldOf(std::string_view line, std::size_t index)
{
    std::size_t at = 0;
    for (std::size_t field = 0; field < index; ++field) {
        at = line.find(',', at);
        if (at == std::string_view::npos) {
            return {};
        }
        ++at;
    }
    const std::size_t end = line.find(',', at);
    return end == std::string_view::npos ? std::string_view() : line.substr(at, end - at);
}

/// The run of a row ("time,seconds,run,..."), or 0 when the line holds no whole run field.
std::int64_t runOfRow(std::string_view line)
{
    const std::string_view text = fieldOf(line, RecordingFormat::Run);
    std::int64_t run = 0;
    const auto [ptr, error] = std::from_chars(text.data(), text.data() + text.size(), run);
    return !text.empty() && error == std::errc() && ptr == text.data() + text.size() && run > 0
               ? run
               : 0;
}

} // namespace

CsvRecorder::~CsvRecorder()
{
    close();
}

std::string CsvRecorder::fileName() const
{
    return m_toStandardOutput ? std::string("standard output") : m_path;
}

bool CsvRecorder::open(const std::string &path, bool append)
{
    close();
    m_path = path;
    m_failed = m_outputClosed = false;
    m_errorText.clear();
    m_noticeText.clear();
    m_rowsWritten = m_pendingRows = 0;
    m_lastRunInFile = 0;
    m_openedSize = 0;
    m_created = false;
    m_buffer.clear();
    m_buffer.reserve(kBlockSize + kMaxRowLength);
    m_columns.clear();
    m_toStandardOutput = path == kStandardOutput;
    if (m_toStandardOutput) {
        m_file = stdout;
    } else if (!openFile(path, append)) {
        return false;
    }
    // Rows leave in blocks of their own making; the stream adds no buffer of its own.
    std::setvbuf(m_file, nullptr, _IONBF, 0);
    m_safeBytes = m_openedSize;
    if (m_openedSize == 0 && m_format == Format::Board) {
        m_buffer.append(kHeader);
        m_columns = kHeader;
    }
    return true;
}

bool CsvRecorder::mayOpen(const std::string &path, bool append, bool &existed)
{
    // Looked at before it is opened: opening a FIFO would wait for a reader, and a device is
    // never opened on the way to refusing it.
    struct stat before {};
    existed = ::stat(path.c_str(), &before) == 0;
    if (existed && S_ISDIR(before.st_mode)) {
        m_errorText = "The file " + path +
                      " is a directory; a recording is written to a file of its own, or to - "
                      "(standard output).";
        return false;
    }
    if (existed && !S_ISREG(before.st_mode)) {
        m_errorText = notRegular(path);
        return false;
    }
    if (existed && !append) {
        m_errorText = alreadyThere(path);
        return false;
    }
    return true;
}

bool CsvRecorder::openFile(const std::string &path, bool append)
{
    bool existed = false;
    if (!mayOpen(path, append, existed)) {
        return false;
    }
    // O_EXCL: a new file is created here or not at all, so an existing one is never touched.
    const int fd = ::open(path.c_str(),
                          O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK |
                              (append ? 0 : O_EXCL),
                          0666);
    if (fd < 0) {
        const int error = errno;
        m_errorText = error == EEXIST
                          ? alreadyThere(path)
                          : "Cannot create the file " + path + ": " + reasonOf(error) + ".";
        return false;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        // Something else was put at the path since it was looked at.
        ::close(fd);
        m_errorText = notRegular(path);
        return false;
    }
    m_created = !existed;
    m_openedSize = static_cast<std::uintmax_t>(info.st_size);
    if (m_openedSize > 0 && !continueRecording(fd, m_openedSize)) {
        ::close(fd);
        return false;
    }
    m_file = ::fdopen(fd, "ab");
    if (m_file == nullptr) {
        m_errorText = "Cannot create the file " + path + ": " + reasonOf(errno) + ".";
        ::close(fd);
        return false;
    }
    return true;
}

bool CsvRecorder::continueRecording(int fd, std::uintmax_t size)
{
    // Only a recording of this program is added to: its first line is a header.
    std::string start(RecordingFormat::kFixedColumns.size() + 2, '\0');
    const ssize_t got = ::pread(fd, start.data(), start.size(), 0);
    start.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    if (!RecordingFormat::isHeader(start)) {
        m_errorText = "The file " + m_path +
                      " is not a recording of this program (it does not begin with the line \"" +
                      std::string(kHeader.substr(0, kHeader.size() - 1)) +
                      "\" or another header of one); choose another name.";
        return false;
    }
    // The last rows tell the run to go on from; a row is never longer than kMaxRowLength.
    const std::uintmax_t tailSize = std::min<std::uintmax_t>(size, 8 * kMaxRowLength);
    std::string tail(tailSize, '\0');
    const auto tailStart = static_cast<off_t>(size - tailSize);
    if (::pread(fd, tail.data(), tail.size(), tailStart) != static_cast<ssize_t>(tail.size())) {
        m_errorText = "Cannot read the file " + m_path + ": " + reasonOf(errno) + ".";
        return false;
    }
    if (tail.back() != '\n') {
        // Cut off by a power cut or a kill: the new rows start on a line of their own.
        m_buffer.push_back('\n');
        m_noticeText = "The file " + m_path +
                       " ended in a partial row; it is left as it was, and the new rows start "
                       "on a line of their own.";
    }
    findLastRun(tail, tailStart > 0);
    findColumns(tail, tailStart > 0);
    return true;
}

void CsvRecorder::findColumns(std::string_view rest, bool cutAtStart)
{
    if (cutAtStart) {
        rest.remove_prefix(std::min(rest.size(), rest.find('\n') + 1));
    }
    // The last header in the tail; without one, rows of the board's columns go on under the
    // board's header, and any others get a header of their own.
    bool lastRow = true;
    while (!rest.empty()) {
        if (rest.back() == '\n') {
            rest.remove_suffix(1);
        }
        const std::size_t from = rest.rfind('\n') + 1;
        const std::string_view line = rest.substr(from);
        if (RecordingFormat::isHeader(line)) {
            m_columns = std::string(line) + '\n';
            return;
        }
        if (lastRow && !line.empty()) {
            const std::optional<Mode> mode =
                RecordingFormat::modeNamed(fieldOf(line, RecordingFormat::ModeName));
            m_columns = mode && isBoard(*mode) ? std::string(kHeader) : std::string();
            lastRow = false;
        }
        rest = rest.substr(0, from);
    }
}

void CsvRecorder::findLastRun(std::string_view rest, bool cutAtStart)
{
    if (cutAtStart) {
        // The first line in the tail may be the end of one that began before it.
        rest.remove_prefix(std::min(rest.size(), rest.find('\n') + 1));
    }
    while (!rest.empty() && m_lastRunInFile == 0) {
        if (rest.back() == '\n') {
            rest.remove_suffix(1);
        }
        const std::size_t from = rest.rfind('\n') + 1; // 0 when there is none
        m_lastRunInFile = runOfRow(rest.substr(from));
        rest = rest.substr(0, from);
    }
}

void CsvRecorder::discard()
{
    if (m_file == nullptr || m_rowsWritten > 0) {
        close();
        return;
    }
    m_buffer.clear();
    m_pendingRows = 0;
    std::FILE *file = m_file;
    m_file = nullptr;
    if (m_toStandardOutput) {
        return;
    }
    std::fclose(file);
    std::error_code ignored;
    if (m_created) {
        std::filesystem::remove(m_path, ignored);
    } else {
        std::filesystem::resize_file(m_path, m_openedSize, ignored);
    }
}

void CsvRecorder::runStarted(const RunStart &start)
{
    m_mode = start.mode;
}

void CsvRecorder::channelsNamed(std::span<const std::string> names)
{
    if (m_file == nullptr) {
        return;
    }
    const std::string header =
        isBoard(m_mode) ? std::string(kHeader)
                        : RecordingFormat::headerLine(RecordingFormat::columnNames(names));
    if (header != m_columns) {
        // A header alone is no row: it goes with the next rows, or at the next flush.
        m_buffer.append(header);
        m_columns = header;
    }
}

void CsvRecorder::charactersTaken(const Stamp &stamp)
{
    // The rows of one block of characters share their time, seconds and run.
    m_fields.setStamp(stamp);
    m_takenAt = stamp.at.monotonic;
}

void CsvRecorder::recordAccepted(const AcceptedRecord &record)
{
    if (m_file == nullptr) {
        return;
    }
    if (m_pendingRows == 0) {
        m_firstPending = m_takenAt;
    }
    std::array<char, kMaxRowLength> row;
    const char *end = m_fields.writeCsvRow(row.data(), record.mode, record.count, record.values);
    m_buffer.append(row.data(), static_cast<std::size_t>(end - row.data()));
    ++m_pendingRows;
    if (m_buffer.size() >= kBlockSize || m_takenAt - m_firstPending >= kFlushInterval) {
        flush();
    }
}

void CsvRecorder::flushIfDue(MonotonicClock::time_point now)
{
    if (m_file != nullptr && !m_buffer.empty() &&
        (m_pendingRows == 0 || now - m_firstPending >= kFlushInterval)) {
        flush();
    }
}

bool CsvRecorder::flush()
{
    if (m_file == nullptr) {
        return !m_failed;
    }
    if (m_buffer.empty()) {
        return true;
    }
    // One write of whole rows: a program killed around it leaves no row cut in half.
    errno = 0;
    const std::size_t put = std::fwrite(m_buffer.data(), 1, m_buffer.size(), m_file);
    if (put != m_buffer.size()) {
        stopAfterFailure(errno != 0 ? errno : EIO);
        return false;
    }
    m_safeBytes += put;
    m_rowsWritten += m_pendingRows;
    m_pendingRows = 0;
    m_buffer.clear();
    return true;
}

void CsvRecorder::close()
{
    if (m_file == nullptr || !flush()) {
        return;
    }
    std::FILE *file = m_file;
    m_file = nullptr;
    if (!m_toStandardOutput && std::fclose(file) != 0) {
        // The system may report a write it had accepted only now (a network disk, say).
        const int error = errno != 0 ? errno : EIO;
        m_failed = true;
        m_errorText = "Recording to " + fileName() + " has stopped: " + reasonOf(error) + ".";
    }
}

void CsvRecorder::finish()
{
    const bool empty = m_file != nullptr && m_created && rowsRecorded() == 0;
    close();
    m_noticeText.clear();
    std::error_code ignored;
    if (empty && !m_failed && std::filesystem::remove(m_path, ignored)) {
        m_noticeText =
            "No rows were recorded, so the file " + m_path + ", made for them, has been removed.";
    }
}

void CsvRecorder::stopAfterFailure(int error)
{
    m_failed = true;
    m_outputClosed = error == EPIPE;
    m_buffer.clear();
    m_pendingRows = 0;
    if (!m_toStandardOutput) {
        std::fclose(m_file);
        // A block cut short by the failure is taken off again: the file ends with a whole row.
        std::error_code ignored;
        std::filesystem::resize_file(m_path, m_safeBytes, ignored);
    }
    m_file = nullptr;
    m_errorText = "Recording to " + fileName() + " has stopped: " + reasonOf(error) + ". The " +
                  std::to_string(m_rowsWritten) +
                  (m_rowsWritten == 1 ? " row recorded before is" : " rows recorded before are") +
                  " safe in it.";
}

} // namespace adc
