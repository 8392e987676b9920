#include "LineNoise.h"

#include <algorithm>

namespace adc {

namespace {

// Tags a reader must refuse. None has the right tag at its first "P" or "M": "PPIC" starts at
// the first "P", "MMCP" at the first "M", and an INT reader meets "MPC" at its "P" as "PC ...".
constexpr std::array<std::string_view, 8> kWrongIntTags = {"PIX", "PCI", "PI",  "PPIC",
                                                           "XIC", "P1C", "BIC", "PIK"};
constexpr std::array<std::string_view, 8> kWrongMcpTags = {"MPC", "MCB", "MC",  "MMCP",
                                                           "NCP", "MCQ", "ACP", "MCR"};
// Wherever an upper-case "P" or "M" is left, the record a reader finds there has a wrong tag.
constexpr std::array<std::string_view, 3> kLowerIntTags = {"pic", "Pic", "pIC"};
constexpr std::array<std::string_view, 3> kLowerMcpTags = {"mcp", "Mcp", "mCP"};

// Stray characters: printable ones, tab, carriage return and NUL, but never ":" or a line feed.
// Without ":" no record a reader finds in such a line has the fields it needs.
constexpr char kGarbageCharacters[] = "!\"#$%&'()*+,-./0123456789;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                      "[\\]^_`abcdefghijklmnopqrstuvwxyz{|}~ \t\r\0";
constexpr std::string_view kGarbage(kGarbageCharacters, sizeof kGarbageCharacters - 1);

template <std::size_t N>
std::string_view anyOf(const std::array<std::string_view, N> &list, Random &random)
{
    return list[random.below(N)];
}

char highByte(Random &random)
{
    return static_cast<char>(128 + random.below(128));
}

} // namespace

NoiseKind LineNoise::pick(Random &random)
{
    // Each kind but the over-long line weighs 64, the over-long line 1.
    constexpr std::uint64_t kWeight = 64;
    const std::uint64_t r = random.below(kWeight * (kAllKinds.size() - 1) + 1);
    return r == 0 ? NoiseKind::OverLong : kAllKinds[(r - 1) / kWeight];
}

bool LineNoise::keepsRecord(NoiseKind noise)
{
    return noise == NoiseKind::NulBytes || noise == NoiseKind::HighBytesInValue;
}

void LineNoise::append(NoiseKind noise, RecordKind kind, std::string_view record,
                       std::string_view lineEnd, Random &random, std::string &out)
{
    const std::string_view tag = recordFormat(kind).tag;
    const std::string_view fields = record.substr(tag.size());
    switch (noise) {
    case NoiseKind::NulBytes: {
        std::string line(record);
        line.append(lineEnd, 0, lineEnd.size() - 1);
        for (int n = random.between(1, 4); n > 0; --n) {
            line.insert(random.below(line.size() + 1), 1, '\0');
        }
        out += line;
        out += '\n';
        break;
    }
    case NoiseKind::WrongTag:
        out +=
            kind == RecordKind::Int ? anyOf(kWrongIntTags, random) : anyOf(kWrongMcpTags, random);
        out += fields;
        out += lineEnd;
        break;
    case NoiseKind::LowerCaseTag:
        out +=
            kind == RecordKind::Int ? anyOf(kLowerIntTags, random) : anyOf(kLowerMcpTags, random);
        out += fields;
        out += lineEnd;
        break;
    case NoiseKind::MissingSeparator: {
        std::string line(record);
        const auto colons = static_cast<std::uint64_t>(std::count(line.begin(), line.end(), ':'));
        std::uint64_t which = random.below(colons);
        auto at = line.find(':');
        while (which-- > 0) {
            at = line.find(':', at + 1);
        }
        // The colon goes, or turns into something a hurried eye might take for one.
        static constexpr std::string_view kReplacements = "=; .";
        const std::uint64_t pick = random.below(kReplacements.size() + 1);
        if (pick == kReplacements.size()) {
            line.erase(at, 1);
        } else {
            line[at] = kReplacements[pick];
        }
        out += line;
        out += lineEnd;
        break;
    }
    case NoiseKind::HighBytesInValue: {
        std::string line(record);
        const int channels = recordFormat(kind).channels;
        // The value of field k runs from just after its ":" to the next blank or the line's end.
        auto colon = line.find(':');
        for (auto k = random.below(static_cast<std::uint64_t>(channels)); k > 0; --k) {
            colon = line.find(':', colon + 1);
        }
        const auto valueEnd = std::min(line.find(' ', colon), line.size());
        const auto at = colon + 1 + random.below(valueEnd - colon);
        std::string odd;
        for (int n = random.between(1, 3); n > 0; --n) {
            odd += highByte(random);
        }
        line.insert(at, odd);
        out += line;
        out += lineEnd;
        break;
    }
    case NoiseKind::HighByteGarbage:
        for (int n = random.between(1, 40); n > 0; --n) {
            out += highByte(random);
        }
        out += lineEnd;
        break;
    case NoiseKind::CutShort: {
        // Broken off before the last ":", so that the record lacks at least one field.
        const auto lastColon = record.rfind(':');
        out += record.substr(0, random.below(lastColon + 1));
        out += '\n';
        break;
    }
    case NoiseKind::Garbage:
        for (int n = random.between(1, 60); n > 0; --n) {
            out += kGarbage[random.below(kGarbage.size())];
        }
        out += lineEnd;
        break;
    case NoiseKind::OverLong: {
        const std::size_t length = kOverLongMinimum + random.below(1000);
        const std::size_t start = out.size();
        out += record;
        // Extra fields a reader would ignore, if the line were not too long to be kept at all.
        while (out.size() - start < length) {
            out += ' ';
            const int label = random.between(8, 99);
            out += std::to_string(label);
            out += ':';
            out += std::to_string(random.between(0, recordFormat(kind).fullScale));
        }
        out += lineEnd;
        break;
    }
    }
}

std::string_view LineNoise::name(NoiseKind noise)
{
    switch (noise) {
    case NoiseKind::NulBytes:
        return "NUL bytes";
    case NoiseKind::WrongTag:
        return "wrong tag";
    case NoiseKind::LowerCaseTag:
        return "lower-case tag";
    case NoiseKind::MissingSeparator:
        return "missing separator";
    case NoiseKind::HighBytesInValue:
        return "high bytes in a value";
    case NoiseKind::HighByteGarbage:
        return "high-byte garbage";
    case NoiseKind::CutShort:
        return "cut short";
    case NoiseKind::Garbage:
        return "garbage";
    case NoiseKind::OverLong:
        return "over-long";
    }
    return "?";
}

} // namespace adc
