#include "LineNoise.h"

#include <algorithm>
#include <utility>

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

// Each function below appends the good record `record` of `kind` (without its line end) spoilt
// one way, ended by `lineEnd`.
using Spoiler = void (*)(Mode kind, std::string_view record, std::string_view lineEnd,
                         Random &random, std::string &out);

void nulBytes(Mode, std::string_view record, std::string_view lineEnd, Random &random,
              std::string &out)
{
    std::string line(record);
    line.append(lineEnd, 0, lineEnd.size() - 1);
    for (int n = random.between(1, 4); n > 0; --n) {
        line.insert(random.below(line.size() + 1), 1, '\0');
    }
    out += line;
    out += '\n';
}

// The record under another tag, from `intTags` or `mcpTags`.
template <const auto &intTags, const auto &mcpTags>
void otherTag(Mode kind, std::string_view record, std::string_view lineEnd, Random &random,
              std::string &out)
{
    out += kind == Mode::Int ? anyOf(intTags, random) : anyOf(mcpTags, random);
    out += record.substr(modeInfo(kind).tag.size());
    out += lineEnd;
}

// Where the ":" of a field picked at random is.
std::size_t anyColon(std::string_view record, Random &random)
{
    auto at = record.find(':');
    for (auto k = random.below(static_cast<std::uint64_t>(std::ranges::count(record, ':'))); k > 0;
         --k) {
        at = record.find(':', at + 1);
    }
    return at;
}

void missingSeparator(Mode, std::string_view record, std::string_view lineEnd, Random &random,
                      std::string &out)
{
    std::string line(record);
    const std::size_t at = anyColon(record, random);
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
}

void highBytesInValue(Mode, std::string_view record, std::string_view lineEnd, Random &random,
                      std::string &out)
{
    std::string line(record);
    // The value of a field runs from just after its ":" to the next blank or the line's end.
    const std::size_t colon = anyColon(record, random);
    const auto valueEnd = std::min(line.find(' ', colon), line.size());
    std::string odd;
    for (int n = random.between(1, 3); n > 0; --n) {
        odd += highByte(random);
    }
    line.insert(colon + 1 + random.below(valueEnd - colon), odd);
    out += line;
    out += lineEnd;
}

char garbageCharacter(Random &random)
{
    return kGarbage[random.below(kGarbage.size())];
}

// A line of 1 to `longest` characters from `pick` alone.
template <int longest, char (*pick)(Random &)>
void strayLine(Mode, std::string_view, std::string_view lineEnd, Random &random, std::string &out)
{
    for (int n = random.between(1, longest); n > 0; --n) {
        out += pick(random);
    }
    out += lineEnd;
}

void cutShort(Mode, std::string_view record, std::string_view, Random &random, std::string &out)
{
    // Broken off before the last ":", so that the record lacks at least one field.
    out += record.substr(0, random.below(record.rfind(':') + 1));
    out += '\n';
}

void overLong(Mode kind, std::string_view record, std::string_view lineEnd, Random &random,
              std::string &out)
{
    const std::size_t length = LineNoise::kOverLongMinimum + random.below(1000);
    const std::size_t start = out.size();
    out += record;
    // Extra fields a reader would ignore, if the line were not too long to be kept at all.
    while (out.size() - start < length) {
        out += ' ';
        out += std::to_string(random.between(8, 99));
        out += ':';
        out += std::to_string(random.between(0, modeInfo(kind).fullScale));
    }
    out += lineEnd;
}

// In the order of NoiseKind.
constexpr std::pair<Spoiler, std::string_view> kKinds[] = {
    {nulBytes, "NUL bytes"},
    {otherTag<kWrongIntTags, kWrongMcpTags>, "wrong tag"},
    {otherTag<kLowerIntTags, kLowerMcpTags>, "lower-case tag"},
    {missingSeparator, "missing separator"},
    {highBytesInValue, "high bytes in a value"},
    {strayLine<40, highByte>, "high-byte garbage"},
    {cutShort, "cut short"},
    {strayLine<60, garbageCharacter>, "garbage"},
    {overLong, "over-long"}};
static_assert(std::size(kKinds) == LineNoise::kAllKinds.size());

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

void LineNoise::append(NoiseKind noise, Mode kind, std::string_view record,
                       std::string_view lineEnd, Random &random, std::string &out)
{
    kKinds[static_cast<int>(noise)].first(kind, record, lineEnd, random, out);
}

std::string_view LineNoise::name(NoiseKind noise)
{
    return kKinds[static_cast<int>(noise)].second;
}

} // namespace adc
