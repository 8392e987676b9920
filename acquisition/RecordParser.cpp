#include "RecordParser.h"

#include <charconv>
#include <cstdint>
#include <cstring>
#include <limits>

namespace adc {

namespace {

bool isSkipped(char c)
{
    return c == ' ' || c == '\t' || c == '\n';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isExponentLetter(char c)
{
    return c == 'E' || c == 'e' || c == 'D' || c == 'd';
}

// What cleanNumber() has taken of a number so far.
struct NumberScan {
    enum class Stage { Integer, Fraction, ExponentSign, ExponentDigits };
    Stage stage = Stage::Integer;
    long long significantIntDigits = 0;
    long long fractionZeros = 0;
    bool nonZero = false;
    std::size_t exponentMark = std::string::npos;
    long long exponent = 0;
    bool negativeExponent = false;
    bool exponentDigits = false;

    // Takes `c`, a digit, point or exponent letter before the exponent, into `out`; false at
    // the number's end.
    bool takeMantissa(char c, std::string &out)
    {
        if (isDigit(c)) {
            if (stage == Stage::Integer && (nonZero || c != '0')) {
                ++significantIntDigits;
            } else if (stage == Stage::Fraction && !nonZero && c == '0') {
                ++fractionZeros;
            }
            nonZero = nonZero || c != '0';
            out.push_back(c);
        } else if (stage == Stage::Integer && c == '.') {
            stage = Stage::Fraction;
            out.push_back('.');
        } else if (isExponentLetter(c)) {
            exponentMark = out.size();
            out.push_back('e');
            stage = Stage::ExponentSign;
        } else {
            return false;
        }
        return true;
    }

    // Takes `c`, a sign or digit of the exponent, into `out`; false at the number's end.
    bool takeExponent(char c, std::string &out)
    {
        if (stage == Stage::ExponentSign && (c == '+' || c == '-')) {
            negativeExponent = c == '-';
            out.push_back(c);
            stage = Stage::ExponentDigits;
        } else if (isDigit(c)) {
            stage = Stage::ExponentDigits;
            exponentDigits = true;
            out.push_back(c);
            if (exponent < 1'000'000'000) {
                exponent = exponent * 10 + (c - '0');
            }
        } else {
            return false;
        }
        return true;
    }
};

// Copies the number that starts `text` into `out` as "digits[.digits][e[sign]digits]", leaving
// out skipped characters, and returns the decimal exponent of its first non-zero digit (0 when
// every digit is zero).
long long cleanNumber(std::string_view text, std::string &out)
{
    NumberScan n;
    for (char c : text) {
        if (isSkipped(c)) {
            continue;
        }
        const bool mantissa =
            n.stage == NumberScan::Stage::Integer || n.stage == NumberScan::Stage::Fraction;
        if (!(mantissa ? n.takeMantissa(c, out) : n.takeExponent(c, out))) {
            break;
        }
    }
    // An exponent letter without exponent digits is not part of the number.
    if (n.exponentMark != std::string::npos && !n.exponentDigits) {
        out.resize(n.exponentMark);
        n.exponent = 0;
    }
    if (!n.nonZero) {
        return 0;
    }
    const long long scale = n.negativeExponent ? -n.exponent : n.exponent;
    return (n.significantIntDigits > 0 ? n.significantIntDigits - 1 : -(n.fractionZeros + 1)) +
           scale;
}

} // namespace

bool RecordParser::tagMatches(const ModeInfo &mode, std::string_view record)
{
    return record.starts_with(mode.tag);
}

double RecordParser::valueOf(std::string_view text)
{
    // Fast path: the board sends plain digits, ended by the field's end or a carriage return.
    std::uint64_t whole = 0;
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n && i < 19 && isDigit(text[i])) {
        whole = whole * 10 + static_cast<unsigned>(text[i] - '0');
        ++i;
    }
    if (i == n || (i < 19 && !isSkipped(text[i]) && text[i] != '.' && !isExponentLetter(text[i]) &&
                   !isDigit(text[i]))) {
        return static_cast<double>(whole);
    }

    std::string clean;
    clean.reserve(text.size());
    const long long lead = cleanNumber(text, clean);
    if (clean.empty() || clean.front() == 'e' || clean.starts_with(".e") || clean == ".") {
        return 0.0;
    }
    double value = 0.0;
    const auto [end, ec] = std::from_chars(clean.data(), clean.data() + clean.size(), value,
                                           std::chars_format::general);
    (void)end;
    if (ec == std::errc::result_out_of_range) {
        return lead > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    }
    if (ec != std::errc()) {
        return 0.0;
    }
    return value;
}

bool RecordParser::parse(const ModeInfo &mode, std::string &record, ValueTexts &texts,
                         OrdinateTable &current, Values *values)
{
    if (record.size() > kMaxRecordLength) {
        return false;
    }
    std::array<std::size_t, kMaxChannels> colon{};
    std::array<std::size_t, kMaxChannels> blank{};
    const char *data = record.data();
    const std::size_t size = record.size();
    std::size_t p = 0;
    // Fields are short: a plain scan beats a library call per field.
    for (int k = 0; k < mode.channelCount; ++k) {
        while (p < size && data[p] != ':') {
            ++p;
        }
        if (p == size) {
            return false;
        }
        colon[k] = p++;
        while (p < size && data[p] != ' ') {
            ++p;
        }
        if (p == size) {
            return false;
        }
        blank[k] = p;
    }
    for (int k = 0; k < mode.channelCount; ++k) {
        // The value text is "0" and the field: the separator's place holds the "0".
        record[colon[k]] = '0';
        texts[k] = std::string_view(record).substr(colon[k], blank[k] - colon[k]);
        const double value = valueOf(texts[k]);
        if (values != nullptr) {
            (*values)[k] = value;
        }
        current[k] = ordinateOf(mode.mode, value);
    }
    return true;
}

} // namespace adc
