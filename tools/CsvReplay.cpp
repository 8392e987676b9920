#include "CsvReplay.h"

#include "RecordingFormat.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace adc {

namespace {

// Appends `value` so that the program reads it back as the same number: digits, "." and an
// exponent only. A saturated value overflows a double.
void appendValue(double value, std::string &out)
{
    if (std::isinf(value)) {
        out += "1E999";
        return;
    }
    char buffer[32];
    out.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
}

// Appends `value` as a board that prints text would: "nan" and "-inf" included.
void appendText(double value, std::string &out)
{
    if (std::isnan(value)) {
        out += "nan";
        return;
    }
    char buffer[32];
    out.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
}

} // namespace

CsvReplay::CsvReplay(std::istream &in, std::string_view lineEnd) : m_reader(in), m_lineEnd(lineEnd)
{
    m_error = m_reader.error();
    if (!m_error.empty()) {
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
    const Mode mode = *m_mode;
    readRow();
    return {mode == Mode::Int, mode == Mode::Mcp3201};
}

void CsvReplay::readRow()
{
    m_ready = false;
    if (!m_reader.next(m_row)) {
        m_error = m_reader.error();
        return;
    }
    if (!m_mode) {
        m_mode = m_row.mode;
    } else if (m_row.mode != *m_mode) {
        m_error = "line " + std::to_string(m_reader.lineNumber()) + ": mode " +
                  std::string(RecordingFormat::modeName(m_row.mode)) + " in a recording of " +
                  std::string(RecordingFormat::modeName(*m_mode)) + " records";
        return;
    }
    // Rows of a run follow its spacing; a new run starts its own seconds after the last row.
    m_nextGap = m_row.run == m_run ? std::max(0.0, m_row.seconds - m_seconds) : m_row.seconds;
    m_run = m_row.run;
    m_seconds = m_row.seconds;
    if (isBoard(m_row.mode)) {
        writeRecord();
    } else {
        writeLine();
    }
    m_ready = true;
}

void CsvReplay::writeRecord()
{
    const ModeInfo &format = modeInfo(m_row.mode);
    m_record = format.tag;
    for (int k = 0; k < format.channelCount; ++k) {
        m_record += ' ' + std::to_string(k) + ':';
        appendValue(m_row.values[static_cast<std::size_t>(k)], m_record);
    }
}

void CsvReplay::writeLine()
{
    m_record.clear();
    const auto names = m_reader.names();
    const bool csv = m_row.mode == Mode::Csv;
    if (csv && m_reader.headers() != m_headers) {
        // The names go first, on a line of their own.
        for (std::size_t k = 0; k < names.size(); ++k) {
            m_record += (k > 0 ? "," : "") + names[k];
        }
        m_record += m_lineEnd;
        m_headers = m_reader.headers();
    }
    for (std::size_t k = 0; k < names.size(); ++k) {
        if (k > 0) {
            m_record += csv ? "," : " ";
        }
        if (!csv) {
            m_record += names[k] + ':';
        }
        appendText(m_row.values[k], m_record);
    }
}

} // namespace adc
