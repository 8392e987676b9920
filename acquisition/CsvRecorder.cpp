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
constexpr std::size_t kMaxRowLength = 512;

char *put(char *out, std::string_view text)
{
    return std::copy(text.begin(), text.end(), out);
}

std::string reasonOf(int error)
{
    return std::generic_category().message(error);
}

/// The run of a row ("time,seconds,run,..."), or 0 when the line holds no whole run field.
std::int64_t runOfRow(std::string_view line)
{
    std::size_t at = 0;
    for (int field = 0; field < 2; ++field) {
        at = line.find(',', at);
        if (at == std::string_view::npos) {
            return 0;
        }
        ++at;
    }
    const std::size_t end = line.find(',', at);
    if (end == std::string_view::npos) {
        return 0;
    }
    std::int64_t run = 0;
    const auto [ptr, error] = std::from_chars(line.data() + at, line.data() + end, run);
    return error == std::errc() && ptr == line.data() + end && run > 0 ? run : 0;
}

} // namespace

CsvRecorder::CsvRecorder() : CsvRecorder(Clocks{}) {}

CsvRecorder::CsvRecorder(Clocks clocks) : m_clocks(clocks) {}

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
    m_run = 0;
    m_openedSize = 0;
    m_created = false;
    m_buffer.clear();
    m_buffer.reserve(kBlockSize + kMaxRowLength);
    m_toStandardOutput = path == kStandardOutput;
    if (m_toStandardOutput) {
        m_file = stdout;
    } else if (!openFile(path, append)) {
        return false;
    }
    // Rows leave in blocks of their own making; the stream adds no buffer of its own.
    std::setvbuf(m_file, nullptr, _IONBF, 0);
    m_safeBytes = m_openedSize;
    m_firstPending = m_clocks.monotonic();
    if (m_openedSize == 0) {
        m_buffer.append(kHeader);
    }
    return true;
}

bool CsvRecorder::openFile(const std::string &path, bool append)
{
    const std::string notRegular =
        "The file " + path +
        " is not a regular file; a recording is written to a file of its own, or to - "
        "(standard output).";
    const std::string exists = "The file " + path +
                               " already exists; choose another name, or give --append to add "
                               "rows after its own.";
    // Looked at before it is opened: opening a FIFO would wait for a reader, and a device is
    // never opened on the way to refusing it.
    struct stat before {};
    const bool existed = ::stat(path.c_str(), &before) == 0;
    if (existed && !S_ISREG(before.st_mode)) {
        m_errorText = notRegular;
        return false;
    }
    if (existed && !append) {
        m_errorText = exists;
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
                          ? exists
                          : "Cannot create the file " + path + ": " + reasonOf(error) + ".";
        return false;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        // Something else was put at the path since it was looked at.
        ::close(fd);
        m_errorText = notRegular;
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
    // Only a recording of this program is added to: its first line is the header.
    std::string start(kHeader.size(), '\0');
    if (::pread(fd, start.data(), start.size(), 0) != static_cast<ssize_t>(start.size()) ||
        start != kHeader) {
        m_errorText = "The file " + m_path +
                      " is not a recording of this program (it does not begin with the line \"" +
                      std::string(kHeader.substr(0, kHeader.size() - 1)) +
                      "\"); choose another name.";
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
    std::string_view rest(tail);
    if (tailStart > 0) {
        // The first line in the tail may be the end of one that began before it.
        rest.remove_prefix(std::min(rest.size(), rest.find('\n') + 1));
    }
    while (!rest.empty() && m_run == 0) {
        if (rest.back() == '\n') {
            rest.remove_suffix(1);
        }
        const std::size_t from = rest.rfind('\n') + 1; // 0 when there is none
        m_run = runOfRow(rest.substr(from));
        rest = rest.substr(0, from);
    }
    return true;
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

void CsvRecorder::runStarted(Mode)
{
    ++m_run;
    m_runStart = m_clocks.monotonic();
    m_takenAt = m_runStart;
    m_takenAtWall = m_clocks.wall();
    m_prefixLength = 0;
}

void CsvRecorder::charactersTaken()
{
    m_takenAt = m_clocks.monotonic();
    m_takenAtWall = m_clocks.wall();
    m_prefixLength = 0;
}

void CsvRecorder::appendTime(WallClock::time_point wall, char *&out)
{
    using namespace std::chrono;
    const std::int64_t ms = floor<milliseconds>(wall.time_since_epoch()).count();
    const std::int64_t second = ms >= 0 ? ms / 1000 : (ms - 999) / 1000;
    if (second != m_cachedSecond) {
        // The date and time of day change once a second; only the milliseconds change per row.
        std::array<char, RecordingFormat::kTimeLength> text;
        RecordingFormat::writeTime(text.data(), sys_seconds{seconds(second)});
        std::copy_n(text.data(), sizeof m_secondText, m_secondText);
        m_cachedSecond = second;
    }
    out = put(out, std::string_view(m_secondText, sizeof m_secondText));
    out = RecordingFormat::writeDigits(out, static_cast<unsigned>(ms - second * 1000), 3);
    *out++ = 'Z';
}

std::size_t CsvRecorder::formatPrefix(Mode mode)
{
    char *out = m_prefix;
    appendTime(m_takenAtWall, out);
    *out++ = ',';
    out = RecordingFormat::writeSeconds(
        out, std::chrono::duration_cast<std::chrono::microseconds>(m_takenAt - m_runStart));
    *out++ = ',';
    out = std::to_chars(out, out + 24, m_run).ptr;
    *out++ = ',';
    out = put(out, RecordingFormat::modeName(mode));
    *out++ = ',';
    m_prefixMode = mode;
    return static_cast<std::size_t>(out - m_prefix);
}

void CsvRecorder::recordAccepted(const AcceptedRecord &record)
{
    if (m_file == nullptr) {
        return;
    }
    if (m_buffer.empty()) {
        m_firstPending = m_takenAt;
    }
    // The rows of one block of characters share their time, run and mode.
    if (m_prefixLength == 0 || record.mode != m_prefixMode) {
        m_prefixLength = formatPrefix(record.mode);
    }
    std::array<char, kMaxRowLength> row;
    char *out = std::copy_n(m_prefix, m_prefixLength, row.data());
    out = std::to_chars(out, out + 24, record.count).ptr;
    for (std::size_t k = 0; k < kMaxChannels; ++k) {
        *out++ = ',';
        if (k < record.values.size()) {
            out = RecordingFormat::writeValue(out, record.values[k]);
        }
    }
    *out++ = '\n';
    m_buffer.append(row.data(), static_cast<std::size_t>(out - row.data()));
    ++m_pendingRows;
    if (m_buffer.size() >= kBlockSize || m_takenAt - m_firstPending >= kFlushInterval) {
        flush();
    }
}

void CsvRecorder::flushIfDue(MonotonicClock::time_point now)
{
    if (m_file != nullptr && !m_buffer.empty() && now - m_firstPending >= kFlushInterval) {
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
