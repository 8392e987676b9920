#include "CsvReplay.h"

#include <charconv>
#include <cmath>

namespace adc {

namespace {

constexpr std::string_view kHeader = "time,seconds,run,mode,count,ch0,ch1,ch2,ch3,ch4,ch5,ch6,ch7";
constexpr std::size_t kColumns = 13;
constexpr std::size_t kFirstChannel = 5;

// Splits a CSV line into its fields: a field in double quotes may hold commas and doubled
// quotes. False when a quote is left open.
bool splitFields(std::string_view line, std::vector<std::string> &fields)
{
    fields.assign(1, {});
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '"' && quoted && i + 1 < line.size() && line[i + 1] == '"') {
            fields.back() += '"';
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    return !quoted;
}

// The number `text` stands for, when it is a plain number of zero or more (no sign).
bool readNumber(std::string_view text, double &value)
{
    const char *end = text.data() + text.size();
    const auto [stop, ec] = std::from_chars(text.data(), end, value, std::chars_format::general);
    return ec == std::errc() && stop == end && !text.starts_with('-') && std::isfinite(value);
}

// Appends the value `text` of a recording so that the program reads it back as the same
// number: digits, "." and an exponent only. A saturated value overflows a double.
bool appendValue(std::string_view text, std::string &out)
{
    double value = 0.0;
    if (text == "inf") {
        out += "1E999";
        return true;
    }
    if (!readNumber(text, value)) {
        return false;
    }
    char buffer[32];
    out.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
    return true;
}

} // namespace

CsvReplay::CsvReplay(std::istream &in, std::string_view lineEnd) : m_in(in), m_lineEnd(lineEnd)
{
    if (!std::getline(m_in, m_text)) {
        m_error = "line 1: the file is empty, not a recording";
        return;
    }
    ++m_lineNumber;
    if (m_text.ends_with('\r')) {
        m_text.pop_back();
    }
    if (m_text != kHeader) {
        m_error = "line 1: not the header of a recording (" + std::string(kHeader) + ")";
        return;
    }
    readRow();
    if (!m_ready && m_error.empty()) {
        m_error = "the recording holds no records";
    }
}

LineOutcome CsvReplay::appendLine(std::string &out)
{
    out += m_record;
    out += m_lineEnd;
    m_gap = m_nextGap;
    readRow();
    return {m_kind == RecordKind::Int, m_kind == RecordKind::Mcp};
}

void CsvReplay::readRow()
{
    m_ready = false;
    if (!std::getline(m_in, m_text)) {
        return;
    }
    ++m_lineNumber;
    if (m_text.ends_with('\r')) {
        m_text.pop_back();
    }
    m_error = rowError();
    m_ready = m_error.empty();
    if (!m_ready) {
        m_error = "line " + std::to_string(m_lineNumber) + ": " + m_error;
    }
}

std::string CsvReplay::rowError()
{
    if (!splitFields(m_text, m_fields) || m_fields.size() != kColumns) {
        return "not a row of a recording (" + std::to_string(kColumns) + " fields)";
    }
    const std::string &mode = m_fields[3];
    if (mode != "INT" && mode != "MCP3201") {
        return "mode '" + mode + "' is neither INT nor MCP3201";
    }
    if (m_mode.empty()) {
        m_mode = mode;
        m_kind = mode == "INT" ? RecordKind::Int : RecordKind::Mcp;
    } else if (mode != m_mode) {
        return "mode " + mode + " in a recording of " + m_mode + " records";
    }
    if (m_fields[2].empty() || m_fields[2].find_first_not_of("0123456789") != std::string::npos) {
        return "run '" + m_fields[2] + "' is not a whole number";
    }
    double seconds = 0.0;
    if (!readNumber(m_fields[1], seconds)) {
        return "seconds '" + m_fields[1] + "' is not a time";
    }
    // Rows of a run follow its spacing; a new run starts its own seconds after the last row.
    m_nextGap = m_fields[2] == m_run ? std::max(0.0, seconds - m_seconds) : seconds;
    m_run = m_fields[2];
    m_seconds = seconds;

    const RecordFormat format = recordFormat(m_kind);
    m_record = format.tag;
    for (int k = 0; k < 8; ++k) {
        const std::string &value = m_fields[kFirstChannel + static_cast<std::size_t>(k)];
        if (k >= format.channels) {
            if (!value.empty()) {
                return "ch" + std::to_string(k) + " holds a value, but " + m_mode + " has " +
                       std::to_string(format.channels) + " channels";
            }
            continue;
        }
        m_record += ' ' + std::to_string(k) + ':';
        if (!appendValue(value, m_record)) {
            return "ch" + std::to_string(k) + " '" + value + "' is not a value";
        }
    }
    return {};
}

} // namespace adc
