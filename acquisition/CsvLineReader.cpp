#include "CsvLineReader.h"

#include "NumberText.h"

#include <algorithm>

namespace adc {

namespace {

bool isCsvSeparator(char c)
{
    return c == ',' || c == ' ' || c == ';' || c == '\t';
}

} // namespace

CsvLineReader::CsvLineReader(int channels) : m_given(std::clamp(channels, 0, kMaxTextChannels))
{
    reset();
}

void CsvLineReader::reset()
{
    m_count = 0;
    m_numbersSeen = false;
    m_header.clear();
    m_names.clear();
    if (m_given > 0) {
        settle(m_given);
    }
}

LineVerdict CsvLineReader::read(std::string_view line, bool whole)
{
    const int fields = splitFields(line);
    if (fields == 0) {
        return LineVerdict::dropped(DropReason::TooFewFields);
    }
    if (fields > kMaxTextChannels) {
        return LineVerdict::dropped(DropReason::OtherCount);
    }
    int numbers = 0;
    for (int k = 0; k < fields; ++k) {
        if (const auto value = numberFromText(m_fields[static_cast<std::size_t>(k)])) {
            m_reading[static_cast<std::size_t>(k)] = *value;
            ++numbers;
        }
    }
    if (numbers == fields) {
        return readNumbers(fields, whole);
    }
    if (numbers == 0 && !m_numbersSeen) {
        return readNames(fields);
    }
    return LineVerdict::dropped(DropReason::NotANumber);
}

int CsvLineReader::splitFields(std::string_view line)
{
    int count = 0;
    const std::size_t size = line.size();
    std::size_t i = 0;
    while (count <= kMaxTextChannels) {
        while (i < size && isCsvSeparator(line[i])) {
            ++i;
        }
        if (i == size) {
            break;
        }
        const std::size_t start = i;
        while (i < size && !isCsvSeparator(line[i])) {
            ++i;
        }
        m_fields[static_cast<std::size_t>(count++)] = line.substr(start, i - start);
    }
    return count;
}

LineVerdict CsvLineReader::readNames(int fields)
{
    m_header.assign(m_fields.begin(), m_fields.begin() + fields);
    if (m_count != 0) {
        if (fields != m_count) {
            return LineVerdict::dropped(DropReason::OtherCount);
        }
        m_names = m_header;
    }
    return LineVerdict::names();
}

LineVerdict CsvLineReader::readNumbers(int fields, bool whole)
{
    if (!whole) {
        return LineVerdict::skipped();
    }
    if (m_count == 0) {
        settle(fields);
    }
    if (fields != m_count) {
        return LineVerdict::dropped(DropReason::OtherCount);
    }
    std::copy_n(m_reading.begin(), fields, m_values.begin());
    m_numbersSeen = true;
    return LineVerdict::taken();
}

void CsvLineReader::settle(int count)
{
    m_count = count;
    if (m_header.size() == static_cast<std::size_t>(count)) {
        m_names = m_header;
        return;
    }
    m_names.clear();
    for (int k = 0; k < count; ++k) {
        m_names.push_back("ch" + std::to_string(k));
    }
}

} // namespace adc
