#include "RecordingReader.h"

#include "NumberText.h"
#include "RecordingFormat.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <limits>

namespace adc {

namespace {

constexpr std::size_t kBlock = 1 << 20;
/// Far more than any row of a recording: a longer line (a file of NULs, a device) ends the
/// reading rather than fill the memory.
constexpr std::size_t kLongestLine = 1 << 16;

/// Most fields a row may have.
constexpr std::size_t kMostFields = RecordingFormat::FirstChannel + kMaxTextChannels;

/// Splits `line` at its commas into `fields`; false when there are more than a row may have.
bool splitPlain(std::string_view line, std::vector<std::string_view> &fields)
{
    fields.clear();
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = line.find(',', start);
        if (comma == std::string_view::npos) {
            fields.push_back(line.substr(start));
            break;
        }
        fields.push_back(line.substr(start, comma - start));
        if (fields.size() == kMostFields) {
            return false;
        }
        start = comma + 1;
    }
    return true;
}

/// Splits a line with quotes: a field in double quotes may hold commas and doubled quotes. The
/// fields' text goes to `storage`. False when a quote is left open or there are too many fields.
bool splitQuoted(std::string_view line, std::string &storage, std::vector<std::string_view> &fields)
{
    storage.clear();
    storage.reserve(line.size());
    std::vector<std::size_t> ends;
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '"' && quoted && i + 1 < line.size() && line[i + 1] == '"') {
            storage += '"';
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            ends.push_back(storage.size());
        } else {
            storage += c;
        }
    }
    ends.push_back(storage.size());
    fields.clear();
    std::size_t start = 0;
    for (std::size_t end : ends) {
        fields.push_back(std::string_view(storage).substr(start, end - start));
        start = end;
    }
    return !quoted && fields.size() <= kMostFields;
}

bool readWhole(std::string_view text, std::int64_t &value)
{
    const char *end = text.data() + text.size();
    const auto [stop, ec] = std::from_chars(text.data(), end, value);
    return !text.empty() && text.front() != '-' && ec == std::errc() && stop == end;
}

} // namespace

RecordingReader::RecordingReader(std::istream &in) : m_in(in), m_buffer(kBlock)
{
    std::string_view header;
    if (!nextLine(header)) {
        if (m_error.empty()) {
            fail("the file is empty, not a recording");
        }
    } else if (!RecordingFormat::isHeader(header)) {
        fail("not the header of a recording (" + std::string(RecordingFormat::kHeader) +
             ", or another that begins " + std::string(RecordingFormat::kFixedColumns) + ")");
    } else {
        readHeader(header);
    }
}

void RecordingReader::readHeader(std::string_view line)
{
    ++m_headers;
    m_boardColumns = line == RecordingFormat::kHeader;
    m_names.clear();
    line.remove_prefix(RecordingFormat::kFixedColumns.size() + 1);
    for (std::size_t comma; (comma = line.find(',')) != std::string_view::npos;) {
        m_names.emplace_back(line.substr(0, comma));
        line.remove_prefix(comma + 1);
    }
    m_names.emplace_back(line);
}

bool RecordingReader::fail(const std::string &what)
{
    m_error = "line " + std::to_string(std::max<std::uint64_t>(m_lineNumber, 1)) + ": " + what;
    return false;
}

bool RecordingReader::nextLine(std::string_view &line)
{
    m_longLine.clear();
    for (;;) {
        const char *from = m_buffer.data() + m_begin;
        const void *feed = std::memchr(from, '\n', m_end - m_begin);
        if (feed != nullptr) {
            const auto length = static_cast<std::size_t>(static_cast<const char *>(feed) - from);
            m_bytesRead += length + 1;
            m_begin += length + 1;
            if (m_longLine.empty()) {
                line = std::string_view(from, length);
            } else {
                m_longLine.append(from, length);
                line = m_longLine;
            }
            break;
        }
        // No line end in the buffer: keep the part line, and read on.
        m_longLine.append(from, m_end - m_begin);
        m_bytesRead += m_end - m_begin;
        m_begin = m_end = 0;
        if (m_longLine.size() > kLongestLine) {
            ++m_lineNumber;
            return fail("longer than " + std::to_string(kLongestLine) +
                        " bytes, not a row of a recording");
        }
        if (!m_in.read(m_buffer.data(), static_cast<std::streamsize>(m_buffer.size())) &&
            m_in.gcount() == 0) {
            if (m_longLine.empty()) {
                return false;
            }
            line = m_longLine;
            break;
        }
        m_end = static_cast<std::size_t>(m_in.gcount());
    }
    ++m_lineNumber;
    if (line.ends_with('\r')) {
        line.remove_suffix(1);
    }
    return true;
}

bool RecordingReader::next(RecordingRow &row)
{
    if (!m_error.empty()) {
        return false;
    }
    std::string_view line;
    for (;;) {
        if (!nextLine(line)) {
            return false;
        }
        if (!RecordingFormat::isHeader(line)) {
            break;
        }
        readHeader(line);
        if (m_names.size() > static_cast<std::size_t>(kMaxTextChannels)) {
            return fail("a header of more than " + std::to_string(kMaxTextChannels) + " channels");
        }
    }
    const std::string why = rowError(line, row);
    return why.empty() || fail(why);
}

std::string RecordingReader::rowError(std::string_view line, RecordingRow &row)
{
    using F = RecordingFormat;
    const bool split = line.find('"') == std::string_view::npos
                           ? splitPlain(line, m_fields)
                           : splitQuoted(line, m_unquoted, m_fields);
    const std::size_t columns = F::FirstChannel + m_names.size();
    if (!split || m_fields.size() != columns) {
        return "not a row of a recording (" + std::to_string(columns) + " fields)";
    }
    const std::optional<Mode> mode = F::modeNamed(m_fields[F::ModeName]);
    if (!mode) {
        std::string known;
        for (const ModeInfo &info : modeTable()) {
            known += (known.empty() ? "" : ", ") + std::string(info.recordingName);
        }
        return "mode '" + std::string(m_fields[F::ModeName]) + "' is none of " + known;
    }
    row.mode = *mode;
    if (!readWhole(m_fields[F::Run], row.run)) {
        return "run '" + std::string(m_fields[F::Run]) + "' is not a whole number";
    }
    if (!readWhole(m_fields[F::Count], row.count)) {
        return "count '" + std::string(m_fields[F::Count]) + "' is not a whole number";
    }
    const std::optional<double> seconds = F::readValue(m_fields[F::Seconds], false);
    if (!seconds) {
        return "seconds '" + std::string(m_fields[F::Seconds]) + "' is not a time";
    }
    row.seconds = *seconds;
    row.time = m_fields[F::Time];
    return channelsError(row);
}

std::string RecordingReader::channelsError(RecordingRow &row) const
{
    using F = RecordingFormat;
    const bool board = isBoard(row.mode);
    if (board && !m_boardColumns) {
        return std::string(F::modeName(row.mode)) + " row under a header not the board's";
    }
    const int channels = board ? modeInfo(row.mode).channelCount : static_cast<int>(m_names.size());
    row.channels = channels;
    row.values.fill(0.0);
    for (std::size_t k = 0; k < m_names.size(); ++k) {
        const std::string_view text = m_fields[F::FirstChannel + k];
        const std::string &column = m_names[k];
        if (static_cast<int>(k) >= channels) {
            if (!text.empty()) {
                return column + " holds a value, but " + std::string(F::modeName(row.mode)) +
                       " has " + std::to_string(channels) + " channels";
            }
            continue;
        }
        const std::optional<double> value =
            board ? F::readValue(text)
                  : (text.empty() ? std::optional(std::numeric_limits<double>::quiet_NaN())
                                  : numberFromText(text));
        if (!value) {
            return column + " '" + std::string(text) + "' is not a value";
        }
        row.values[k] = *value;
    }
    return {};
}

} // namespace adc
