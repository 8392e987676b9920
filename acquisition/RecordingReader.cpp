#include "RecordingReader.h"

#include "RecordingFormat.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace adc {

namespace {

constexpr std::size_t kBlock = 1 << 20;
/// Far more than any row of a recording: a longer line (a file of NULs, a device) ends the
/// reading rather than fill the memory.
constexpr std::size_t kLongestLine = 1 << 16;

/// Splits `line` at its commas into `fields`; false when the field count is not a row's.
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
        if (fields.size() == RecordingFormat::kColumns) {
            return false;
        }
        start = comma + 1;
    }
    return fields.size() == RecordingFormat::kColumns;
}

/// Splits a line with quotes: a field in double quotes may hold commas and doubled quotes. The
/// fields' text goes to `storage`. False when a quote is left open or the count is wrong.
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
    return !quoted && fields.size() == RecordingFormat::kColumns;
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
    } else if (header != RecordingFormat::kHeader) {
        fail("not the header of a recording (" + std::string(RecordingFormat::kHeader) + ")");
    }
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
    if (!nextLine(line)) {
        return false;
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
    if (!split) {
        return "not a row of a recording (" + std::to_string(F::kColumns) + " fields)";
    }
    const std::optional<Mode> mode = F::modeNamed(m_fields[F::ModeName]);
    if (!mode) {
        return "mode '" + std::string(m_fields[F::ModeName]) + "' is neither " +
               std::string(F::modeName(Mode::Int)) + " nor " +
               std::string(F::modeName(Mode::Mcp3201));
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
    const int channels = modeInfo(row.mode).channelCount;
    for (int k = 0; k < kMaxChannels; ++k) {
        const std::string_view text = m_fields[F::FirstChannel + static_cast<std::size_t>(k)];
        const auto slot = static_cast<std::size_t>(k);
        if (k >= channels) {
            if (!text.empty()) {
                return "ch" + std::to_string(k) + " holds a value, but " +
                       std::string(F::modeName(row.mode)) + " has " + std::to_string(channels) +
                       " channels";
            }
            row.values[slot] = 0.0;
            continue;
        }
        const std::optional<double> value = F::readValue(text);
        if (!value) {
            return "ch" + std::to_string(k) + " '" + std::string(text) + "' is not a value";
        }
        row.values[slot] = *value;
    }
    return {};
}

} // namespace adc
