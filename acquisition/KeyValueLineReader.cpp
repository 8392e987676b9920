#include "KeyValueLineReader.h"

#include "NumberText.h"

#include <algorithm>
#include <limits>

namespace adc {

namespace {

bool isPairSeparator(char c)
{
    return c == ',' || c == ' ' || c == '\t';
}

// The field that starts at or after `at`, which is moved past it (empty when there is none), and
// where in it the first ":" or "=" stands (npos when nowhere).
std::string_view nextField(std::string_view line, std::size_t &at, std::size_t &split)
{
    while (at < line.size() && isPairSeparator(line[at])) {
        ++at;
    }
    const std::size_t start = at;
    split = std::string_view::npos;
    for (; at < line.size() && !isPairSeparator(line[at]); ++at) {
        if ((line[at] == ':' || line[at] == '=') && split == std::string_view::npos) {
            split = at - start;
        }
    }
    return line.substr(start, at - start);
}

} // namespace

void KeyValueLineReader::reset()
{
    m_names.clear();
    m_next = 0;
    m_fieldsPassedOver = 0;
    m_namesRefused = 0;
}

LineVerdict KeyValueLineReader::read(std::string_view line, bool whole)
{
    std::fill_n(m_reading.begin(), m_names.size(), std::numeric_limits<double>::quiet_NaN());
    m_line.clear();
    std::size_t at = 0;
    std::size_t split = 0;
    for (std::string_view field = nextField(line, at, split); !field.empty();
         field = nextField(line, at, split)) {
        if (split == std::string_view::npos || split == 0) {
            ++m_line.otherFields;
            continue;
        }
        std::string_view value = field.substr(split + 1);
        if (value.empty()) {
            // "temp: 23.5": the value is the next field, unless that is a pair itself.
            std::size_t after = at;
            std::size_t nextSplit = 0;
            const std::string_view next = nextField(line, after, nextSplit);
            if (!next.empty() && nextSplit == std::string_view::npos) {
                value = next;
                at = after;
            }
        }
        readPair(field.substr(0, split), value);
    }
    return conclude(whole);
}

void KeyValueLineReader::readPair(std::string_view name, std::string_view value)
{
    Reading &reading = m_line;
    ++reading.pairs;
    const std::optional<double> number = numberFromText(value);
    if (!number) {
        ++reading.otherFields;
        return;
    }
    if (const int k = channelOf(name); k >= 0) {
        m_reading[static_cast<std::size_t>(k)] = *number;
        ++reading.numbers;
        return;
    }
    const auto newName = reading.names.begin() + reading.newNames;
    if (const auto seen = std::find(reading.names.begin(), newName, name); seen != newName) {
        reading.values[static_cast<std::size_t>(seen - reading.names.begin())] = *number;
        ++reading.numbers;
    } else if (m_names.size() + static_cast<std::size_t>(reading.newNames) < kMaxTextChannels) {
        *newName = name;
        reading.values[static_cast<std::size_t>(reading.newNames++)] = *number;
        ++reading.numbers;
    } else {
        ++reading.refused;
    }
}

int KeyValueLineReader::channelOf(std::string_view name)
{
    const std::size_t count = m_names.size();
    for (std::size_t tried = 0, k = m_next; tried < count; ++tried, ++k) {
        if (k >= count) {
            k = 0;
        }
        if (m_names[k] == name) {
            m_next = k + 1;
            return static_cast<int>(k);
        }
    }
    return -1;
}

LineVerdict KeyValueLineReader::conclude(bool whole)
{
    const Reading &reading = m_line;
    if (reading.numbers == 0) {
        if (reading.refused > 0) {
            return LineVerdict::dropped(DropReason::OtherCount);
        }
        return LineVerdict::dropped(reading.pairs > 0 ? DropReason::NotANumber
                                                      : DropReason::TooFewFields);
    }
    if (!whole) {
        return LineVerdict::skipped();
    }
    for (int j = 0; j < reading.newNames; ++j) {
        m_reading[m_names.size()] = reading.values[static_cast<std::size_t>(j)];
        m_names.emplace_back(reading.names[static_cast<std::size_t>(j)]);
    }
    m_fieldsPassedOver += reading.otherFields;
    m_namesRefused += reading.refused;
    std::copy_n(m_reading.begin(), m_names.size(), m_values.begin());
    return LineVerdict::taken();
}

} // namespace adc
