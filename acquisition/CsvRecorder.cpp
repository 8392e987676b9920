#include "CsvRecorder.h"

#include "RecordingFormat.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <filesystem>
#include <system_error>

namespace adc {

namespace {

// Longest row: the fixed columns and eight doubles in their longest shortest form.
constexpr std::size_t kMaxRowLength = 512;

/// Writes `value` as exactly `width` decimal digits, with leading zeros.
char *fixedDigits(char *out, unsigned value, int width)
{
    for (int i = width - 1; i >= 0; --i) {
        out[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
    return out + width;
}

char *put(char *out, std::string_view text)
{
    for (char c : text) {
        *out++ = c;
    }
    return out;
}

std::string reasonOf(int error)
{
    return std::generic_category().message(error);
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
    m_rowsWritten = m_pendingRows = 0;
    m_run = 0;
    m_toStandardOutput = path == kStandardOutput;
    if (m_toStandardOutput) {
        m_file = stdout;
    } else {
        // "x": the file is created here or not at all, so an existing one is never touched.
        errno = 0;
        m_file = std::fopen(path.c_str(), append ? "ab" : "wbx");
        if (m_file == nullptr) {
            const int error = errno != 0 ? errno : EIO;
            m_errorText = error == EEXIST
                              ? "The file " + path +
                                    " already exists; choose another name, or give --append to "
                                    "add rows after its own."
                              : "Cannot create the file " + path + ": " + reasonOf(error) + ".";
            return false;
        }
    }
    // Rows leave in blocks of their own making; the stream adds no buffer of its own.
    std::setvbuf(m_file, nullptr, _IONBF, 0);
    long size = 0;
    if (append && std::fseek(m_file, 0, SEEK_END) == 0) {
        size = std::max(0L, std::ftell(m_file));
    }
    m_safeBytes = static_cast<std::uintmax_t>(size);
    m_buffer.clear();
    m_buffer.reserve(kBlockSize + kMaxRowLength);
    if (!append || size == 0) {
        m_firstPending = m_clocks.monotonic();
        m_buffer.append(kHeader);
    }
    return true;
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
        const sys_seconds at{seconds(second)};
        const auto day = floor<days>(at);
        const year_month_day date{day};
        const hh_mm_ss time{at - day};
        char *p = m_secondText;
        p = fixedDigits(p, static_cast<unsigned>(static_cast<int>(date.year())), 4);
        *p++ = '-';
        p = fixedDigits(p, static_cast<unsigned>(date.month()), 2);
        *p++ = '-';
        p = fixedDigits(p, static_cast<unsigned>(date.day()), 2);
        *p++ = 'T';
        p = fixedDigits(p, static_cast<unsigned>(time.hours().count()), 2);
        *p++ = ':';
        p = fixedDigits(p, static_cast<unsigned>(time.minutes().count()), 2);
        *p++ = ':';
        p = fixedDigits(p, static_cast<unsigned>(time.seconds().count()), 2);
        *p++ = '.';
        m_cachedSecond = second;
    }
    out = put(out, std::string_view(m_secondText, sizeof m_secondText));
    out = fixedDigits(out, static_cast<unsigned>(ms - second * 1000), 3);
    *out++ = 'Z';
}

std::size_t CsvRecorder::formatPrefix(Mode mode)
{
    char *out = m_prefix;
    appendTime(m_takenAtWall, out);
    const auto micros =
        std::chrono::duration_cast<std::chrono::microseconds>(m_takenAt - m_runStart).count();
    *out++ = ',';
    out = std::to_chars(out, out + 24, micros / 1'000'000).ptr;
    *out++ = '.';
    out = fixedDigits(out, static_cast<unsigned>(micros % 1'000'000), 6);
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
