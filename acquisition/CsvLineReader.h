#pragma once

#include "LineReader.h"

#include <array>
#include <string>
#include <vector>

namespace adc {

/// Reads lines of numbers separated by commas, semicolons, tabs or blanks ("23.5,1013.2,40").
///
/// Fields are the runs of characters between separators, so separators at either end and
/// several in a row separate no empty field. A line of numbers, each as C reads one
/// (numberFromText), is taken when it has the channel count: given, or else set by the first
/// whole line of numbers. Before any line of numbers, a line without a number names the
/// channels; its names are used when they are as many as the channels, else the channels are
/// "ch0", "ch1", ... A line with another count of numbers, with a field that is not a number
/// (after the names), with no field or with more than kMaxTextChannels fields is dropped.
class CsvLineReader : public LineReader {
public:
    /// `channels`: how many values each line carries (1 .. kMaxTextChannels), or 0 to take the
    /// count from the first line of numbers.
    explicit CsvLineReader(int channels = 0);

    void reset() override;
    using LineReader::read;
    LineVerdict read(std::string_view line, bool whole) override;
    /// Empty while the channel count is not known.
    std::span<const std::string> names() const override { return m_names; }
    std::span<const double> values() const override
    {
        return {m_values.data(), static_cast<std::size_t>(m_count)};
    }

    /// The channel count; 0 while it is not known.
    int channelCount() const { return m_count; }

private:
    int splitFields(std::string_view line);
    LineVerdict readNames(int fields);
    LineVerdict readNumbers(int fields, bool whole);
    void settle(int count);

    int m_given;
    int m_count = 0;
    bool m_numbersSeen = false;
    /// The fields of the line being read; one more than a line may have.
    std::array<std::string_view, kMaxTextChannels + 1> m_fields{};
    std::array<double, kMaxTextChannels> m_reading{};
    std::array<double, kMaxTextChannels> m_values{};
    /// The last line of names before the first line of numbers.
    std::vector<std::string> m_header;
    std::vector<std::string> m_names;
};

} // namespace adc
