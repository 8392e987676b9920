#pragma once

#include <string_view>

namespace adc::test {

/// True when `line` is exactly one of the board's records: `tag`, then for each channel k a
/// blank, "k:" and 1-4 digits, then `ending`.
inline bool isBoardRecord(std::string_view line, std::string_view tag, int channels,
                          std::string_view ending)
{
    if (!line.starts_with(tag) || !line.ends_with(ending)) {
        return false;
    }
    line.remove_prefix(tag.size());
    line.remove_suffix(ending.size());
    for (int k = 0; k < channels; ++k) {
        if (line.size() < 4 || line[0] != ' ' || line[1] != static_cast<char>('0' + k) ||
            line[2] != ':') {
            return false;
        }
        line.remove_prefix(3);
        std::size_t digits = 0;
        while (digits < line.size() && line[digits] >= '0' && line[digits] <= '9') {
            ++digits;
        }
        if (digits < 1 || digits > 4) {
            return false;
        }
        line.remove_prefix(digits);
    }
    return line.empty();
}

} // namespace adc::test
