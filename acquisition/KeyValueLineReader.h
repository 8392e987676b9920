#pragma once

#include "LineReader.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace adc {

/// Reads lines of `name:value` or `name=value` pairs separated by commas, blanks or tabs
/// ("temp:23.5 hum:40"), the plotters' way.
///
/// A field splits at its first ":" or "="; the name before it is not empty. A pair whose value
/// is empty takes the next field as its value when that holds no ":" or "=" ("temp: 23.5"). Each
/// name is a channel, in the order the names first come with a number; a line without some name
/// leaves its channel NaN, and a name given twice in a line keeps its last value.
///
/// A line is taken when one of its pairs has a number (numberFromText) for a channel; its other
/// fields are passed over and counted. A name that would be channel kMaxTextChannels + 1 or
/// later gets no channel: its pairs are passed over and counted apart. A line with no such pair
/// is dropped: "not a number" when it has a pair, "too few fields" when it has none, "another
/// count of values" when its only numbers are for names that get no channel.
class KeyValueLineReader : public LineReader {
public:
    KeyValueLineReader() { reset(); }

    void reset() override;
    using LineReader::read;
    LineVerdict read(std::string_view line, bool whole) override;
    std::span<const std::string> names() const override { return m_names; }
    std::span<const double> values() const override { return {m_values.data(), m_names.size()}; }

    /// Fields passed over in lines taken: no pair, or a value that is not a number.
    std::int64_t fieldsPassedOver() const { return m_fieldsPassedOver; }
    /// Pairs passed over in lines taken because all kMaxTextChannels channels were named.
    std::int64_t namesRefused() const { return m_namesRefused; }

private:
    /// What the line being read holds: its fields counted, and the names that are no channel
    /// yet with their values.
    struct Reading {
        int numbers = 0;
        int pairs = 0;
        int otherFields = 0;
        int refused = 0;
        int newNames = 0;
        std::array<std::string_view, kMaxTextChannels> names;
        std::array<double, kMaxTextChannels> values;

        void clear() { numbers = pairs = otherFields = refused = newNames = 0; }
    };

    void readPair(std::string_view name, std::string_view value);
    int channelOf(std::string_view name);
    LineVerdict conclude(bool whole);

    std::vector<std::string> m_names;
    Reading m_line;
    std::array<double, kMaxTextChannels> m_reading{};
    std::array<double, kMaxTextChannels> m_values{};
    /// The channel the next name is looked for at first: names usually come in the same order.
    std::size_t m_next = 0;
    std::int64_t m_fieldsPassedOver = 0;
    std::int64_t m_namesRefused = 0;
};

} // namespace adc
