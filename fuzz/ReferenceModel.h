#pragma once

// Plain, character-at-a-time restatements of how the board's stream is read, written for
// clarity rather than speed. The fuzz targets hold the fast code to them.

#include "ModeTable.h"
#include "RecordFramer.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace adc::fuzz {

/// Every record in `stream` that the program should accept for framing, in order.
inline std::vector<std::string> referenceRecords(char sync, std::string_view stream)
{
    std::vector<std::string> records;
    std::string current;
    bool collecting = false;
    bool tooLong = false;
    for (char c : stream) {
        if (!collecting) {
            if (c == sync) {
                current.assign(1, c);
                collecting = true;
                tooLong = false;
            }
            continue;
        }
        if (c == '\0') {
            continue;
        }
        if (c == '\n') {
            if (!tooLong && current.size() + 1 <= RecordFramer::kMaxRecordLength) {
                records.push_back(current + " ");
            }
            collecting = false;
            continue;
        }
        if (current.size() + 1 > RecordFramer::kMaxRecordLength) {
            tooLong = true;
        } else {
            current.push_back(c);
        }
    }
    return records;
}

/// The value texts of `record` for `mode`, or nothing when the record lacks separators.
inline std::optional<std::vector<std::string>> referenceFields(const ModeInfo &mode,
                                                               const std::string &record)
{
    std::vector<std::string> texts;
    std::size_t p = 0;
    for (int k = 0; k < mode.channelCount; ++k) {
        while (p < record.size() && record[p] != ':') {
            ++p;
        }
        if (p >= record.size()) {
            return std::nullopt;
        }
        ++p;
        std::string text = "0";
        while (p < record.size() && record[p] != ' ') {
            text.push_back(record[p]);
            ++p;
        }
        if (p >= record.size()) {
            return std::nullopt;
        }
        texts.push_back(text);
    }
    return texts;
}

/// The number a value text stands for. Blanks, tabs and line feeds are left out wherever they
/// stand; what remains is read as digits, optionally "." and digits, optionally an exponent
/// letter ("E" or "D", either case), a sign and digits. An exponent letter without digits, or
/// any other character, ends the number. The standard library converts what was read; a
/// number too large for a double is +infinity, and no number at all is 0.
inline double referenceValue(std::string_view text)
{
    std::string kept;
    for (char c : text) {
        if (c != ' ' && c != '\t' && c != '\n') {
            kept.push_back(c);
        }
    }
    const auto digitsFrom = [&kept](std::size_t i) {
        while (i < kept.size() && kept[i] >= '0' && kept[i] <= '9') {
            ++i;
        }
        return i;
    };
    std::size_t end = digitsFrom(0);
    if (end < kept.size() && kept[end] == '.') {
        end = digitsFrom(end + 1);
    }
    std::string number = kept.substr(0, end);
    if (end < kept.size() && std::string_view("EeDd").find(kept[end]) != std::string_view::npos) {
        std::size_t digits = end + 1;
        if (digits < kept.size() && (kept[digits] == '+' || kept[digits] == '-')) {
            ++digits;
        }
        const std::size_t exponentEnd = digitsFrom(digits);
        if (exponentEnd > digits) {
            number += "e" + kept.substr(end + 1, exponentEnd - end - 1);
        }
    }
    // strtod gives HUGE_VAL, which is +infinity, for a number too large, and 0 for no number.
    return std::strtod(number.c_str(), nullptr);
}

/// The ordinate of value `v` on the mode's scale: 3 twips a unit from 2047 and 2000 down for
/// INT, 4095 minus the value for the MCP3201; rounded half to even and held at the limits of a
/// 32-bit integer.
inline std::int32_t referenceOrdinate(Mode mode, double v)
{
    const double y = mode == Mode::Int ? (2047.0 - v * 3.0) + 2000.0 : 4095.0 - v;
    if (std::isnan(y)) {
        return 0;
    }
    const double rounded = std::nearbyint(y);
    if (rounded <= std::numeric_limits<std::int32_t>::min()) {
        return std::numeric_limits<std::int32_t>::min();
    }
    if (rounded >= std::numeric_limits<std::int32_t>::max()) {
        return std::numeric_limits<std::int32_t>::max();
    }
    return static_cast<std::int32_t>(rounded);
}

} // namespace adc::fuzz
