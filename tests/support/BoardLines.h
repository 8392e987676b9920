#pragma once

#include <array>
#include <string>
#include <string_view>

namespace adc::test {

/// The line end most boards send: a carriage return and a line feed.
inline constexpr std::string_view kCrLf = "\r\n";

/// One INT-mode line with the given field texts: "PIC 0:f0 1:f1 ... 7:f7" and `ending`.
inline std::string picRecordOfFields(const std::array<std::string, 8> &fields,
                                     std::string_view ending = "\n")
{
    std::string line = "PIC";
    for (std::size_t k = 0; k < fields.size(); ++k) {
        line += " " + std::to_string(k) + ":" + fields[k];
    }
    line += ending;
    return line;
}

/// One INT-mode line with the given values.
inline std::string picRecord(const std::array<int, 8> &values, std::string_view ending = "\n")
{
    std::array<std::string, 8> fields;
    for (std::size_t k = 0; k < fields.size(); ++k) {
        fields[k] = std::to_string(values[k]);
    }
    return picRecordOfFields(fields, ending);
}

/// Whether `text` holds `part` somewhere.
inline bool contains(std::string_view text, std::string_view part)
{
    return text.find(part) != std::string_view::npos;
}

} // namespace adc::test
