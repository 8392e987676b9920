#pragma once

// Plain, character-at-a-time restatements of how the board's stream is read, written for
// clarity rather than speed. The fuzz targets hold the fast code to them.

#include "ModeTable.h"
#include "RecordFramer.h"

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

} // namespace adc::fuzz
