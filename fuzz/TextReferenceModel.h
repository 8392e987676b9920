#pragma once

// Plain, character-at-a-time restatements of how the lines of other boards are read, written
// for clarity rather than speed: the numbers are read by C's strtod. The fuzz targets hold the
// fast code to them.

#include "LineFramer.h"
#include "LineReader.h"
#include "WireLog.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace adc::fuzz {

/// One line of the stream as the framer should hand it on.
struct ReferenceLine {
    std::string text;   ///< without its line end, at most LineFramer::kMaxLineLength characters
    std::size_t length; ///< characters before the line feed, NULs left out
    bool whole;         ///< not the stream's first line
    bool tooLong() const { return length > LineFramer::kMaxLineLength; }
};

/// Every complete line in `stream`, in order.
inline std::vector<ReferenceLine> referenceLines(std::string_view stream)
{
    std::vector<ReferenceLine> lines;
    ReferenceLine current{"", 0, false};
    for (char c : stream) {
        if (c == '\0') {
            continue;
        }
        if (c != '\n') {
            if (current.text.size() < LineFramer::kMaxLineLength) {
                current.text.push_back(c);
            }
            ++current.length;
            continue;
        }
        if (!current.tooLong() && !current.text.empty() && current.text.back() == '\r') {
            current.text.pop_back();
            --current.length;
        }
        lines.push_back(current);
        current = {"", 0, true};
    }
    return lines;
}

/// The number `field` is as C's strtod reads it, when strtod reads all of it; never for text
/// that starts with white space or for a hexadecimal number.
inline std::optional<double> referenceNumber(const std::string &field)
{
    const std::size_t digits = !field.empty() && (field[0] == '+' || field[0] == '-') ? 1 : 0;
    if (field.empty() || std::isspace(static_cast<unsigned char>(field[0])) ||
        (field.size() > digits + 1 && field[digits] == '0' &&
         (field[digits + 1] == 'x' || field[digits + 1] == 'X'))) {
        return std::nullopt;
    }
    char *end = nullptr;
    const double value = std::strtod(field.c_str(), &end);
    if (end != field.c_str() + field.size()) {
        return std::nullopt;
    }
    return value;
}

/// The runs of characters between any of `separators`.
inline std::vector<std::string> referenceFields(const std::string &line,
                                                std::string_view separators)
{
    std::vector<std::string> fields;
    std::string field;
    for (char c : line + separators[0]) {
        if (separators.find(c) == std::string_view::npos) {
            field.push_back(c);
        } else if (!field.empty()) {
            fields.push_back(field);
            field.clear();
        }
    }
    return fields;
}

/// What a reader should make of one line.
struct ReferenceReading {
    LineVerdict verdict;
    std::vector<double> values;     ///< when taken
    std::vector<std::string> names; ///< the channels' names after the line
};

/// The CSV rules: names before numbers, one count of numbers per line.
class ReferenceCsv {
public:
    explicit ReferenceCsv(int given) : m_count(given)
    {
        if (given > 0) {
            settle();
        }
    }

    ReferenceReading read(const ReferenceLine &line)
    {
        if (line.tooLong()) {
            return {LineVerdict::dropped(DropReason::TooLong), {}, m_names};
        }
        const std::vector<std::string> fields = referenceFields(line.text, ", ;\t");
        std::vector<double> numbers;
        for (const std::string &field : fields) {
            if (const auto number = referenceNumber(field)) {
                numbers.push_back(*number);
            }
        }
        return {verdict(fields, numbers, line.whole), numbers, m_names};
    }

private:
    LineVerdict verdict(const std::vector<std::string> &fields, const std::vector<double> &numbers,
                        bool whole)
    {
        const int count = static_cast<int>(fields.size());
        if (count == 0) {
            return LineVerdict::dropped(DropReason::TooFewFields);
        }
        if (count > kMaxTextChannels) {
            return LineVerdict::dropped(DropReason::OtherCount);
        }
        if (numbers.empty() && !m_numbersSeen) {
            m_header = fields;
            if (m_count > 0 && count != m_count) {
                return LineVerdict::dropped(DropReason::OtherCount);
            }
            if (m_count > 0) {
                m_names = fields;
            }
            return LineVerdict::names();
        }
        if (static_cast<int>(numbers.size()) != count) {
            return LineVerdict::dropped(DropReason::NotANumber);
        }
        if (!whole) {
            return LineVerdict::skipped();
        }
        if (m_count == 0) {
            m_count = count;
            settle();
        }
        if (count != m_count) {
            return LineVerdict::dropped(DropReason::OtherCount);
        }
        m_numbersSeen = true;
        return LineVerdict::taken();
    }

    void settle()
    {
        m_names.clear();
        for (int k = 0; k < m_count; ++k) {
            m_names.push_back(static_cast<int>(m_header.size()) == m_count
                                  ? m_header[static_cast<std::size_t>(k)]
                                  : "ch" + std::to_string(k));
        }
    }

    int m_count;
    bool m_numbersSeen = false;
    std::vector<std::string> m_header;
    std::vector<std::string> m_names;
};

/// The name:value rules: a channel per name in the order names first come with a number.
class ReferenceKeyValue {
public:
    std::int64_t fieldsPassedOver = 0;
    std::int64_t namesRefused = 0;

    ReferenceReading read(const ReferenceLine &line)
    {
        if (line.tooLong()) {
            return {LineVerdict::dropped(DropReason::TooLong), {}, m_names};
        }
        const std::vector<std::string> fields = referenceFields(line.text, ", \t");
        Line read;
        read.names = m_names;
        for (std::size_t i = 0; i < fields.size(); ++i) {
            const std::size_t split = fields[i].find_first_of(":=");
            if (split == 0 || split == std::string::npos) {
                ++read.other;
                continue;
            }
            ++read.pairs;
            std::string value = fields[i].substr(split + 1);
            const std::string name = fields[i].substr(0, split);
            if (value.empty() && i + 1 < fields.size() &&
                fields[i + 1].find_first_of(":=") == std::string::npos) {
                value = fields[++i];
            }
            read.pair(name, referenceNumber(value));
        }
        return conclude(read, line.whole);
    }

private:
    /// What one line holds.
    struct Line {
        std::vector<std::string> names;      ///< the channels, should the line be taken
        std::map<std::string, double> given; ///< name: its last number in the line
        int pairs = 0;
        int other = 0;
        int refused = 0;
        int numbers = 0;

        void pair(const std::string &name, std::optional<double> number)
        {
            if (!number) {
                ++other;
                return;
            }
            if (std::find(names.begin(), names.end(), name) == names.end()) {
                if (names.size() == kMaxTextChannels) {
                    ++refused;
                    return;
                }
                names.push_back(name);
            }
            given[name] = *number;
            ++numbers;
        }
    };

    ReferenceReading conclude(const Line &read, bool whole)
    {
        if (read.numbers == 0) {
            const DropReason why = read.refused > 0 ? DropReason::OtherCount
                                   : read.pairs > 0 ? DropReason::NotANumber
                                                    : DropReason::TooFewFields;
            return {LineVerdict::dropped(why), {}, m_names};
        }
        if (!whole) {
            return {LineVerdict::skipped(), {}, m_names};
        }
        m_names = read.names;
        fieldsPassedOver += read.other;
        namesRefused += read.refused;
        std::vector<double> values;
        for (const std::string &name : m_names) {
            const auto it = read.given.find(name);
            values.push_back(it == read.given.end() ? std::nan("") : it->second);
        }
        return {LineVerdict::taken(), values, m_names};
    }

    std::vector<std::string> m_names;
};

/// Whether two values are the same number, NaN being the same as NaN.
inline bool sameValue(double a, double b)
{
    return (std::isnan(a) && std::isnan(b)) || (a == b && std::signbit(a) == std::signbit(b));
}

/// Frames `stream` in pieces of `piece` characters, reads each line with `reader` and logs it,
/// and aborts unless the lines, what becomes of them, the channels and the values, and the
/// log's last line are what `reference` makes of the plain lines.
template <class Reference>
void holdToReference(LineReader &reader, Reference &reference, std::string_view stream,
                     std::size_t piece)
{
    static WireLog log;
    log.clear();
    const std::vector<ReferenceLine> expected = referenceLines(stream);
    LineFramer framer;
    std::size_t n = 0;
    while (!stream.empty()) {
        std::string_view chunk = stream.substr(0, piece);
        stream.remove_prefix(chunk.size());
        while (framer.feed(chunk)) {
            if (n == expected.size()) {
                std::abort();
            }
            const ReferenceLine &want = expected[n++];
            if (framer.line() != want.text || framer.length() != want.length ||
                framer.whole() != want.whole) {
                std::abort();
            }
            const LineVerdict verdict = reader.read(framer);
            const ReferenceReading reading = reference.read(want);
            if (!(verdict == reading.verdict) ||
                !std::equal(reader.names().begin(), reader.names().end(), reading.names.begin(),
                            reading.names.end())) {
                std::abort();
            }
            if (verdict == LineVerdict::taken() &&
                !std::equal(reader.values().begin(), reader.values().end(), reading.values.begin(),
                            reading.values.end(), sameValue)) {
                std::abort();
            }
            log.add(framer.line(), verdict, framer.length());
            const WireLog::Entry last = log.entry(log.size() - 1);
            if (last.text != framer.line().substr(0, WireLog::kKeptCharacters) ||
                last.length != framer.length() || !(last.verdict == verdict) ||
                log.size() > WireLog::kCapacity) {
                std::abort();
            }
        }
    }
    if (n != expected.size()) {
        std::abort();
    }
}

} // namespace adc::fuzz
