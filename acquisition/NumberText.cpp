#include "NumberText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

namespace adc {

namespace {

bool isDecimalDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Whether a decimal number that std::from_chars found out of range is too large rather than
// too small: the power of ten of its first non-zero digit, exponent included, is above zero.
bool tooLarge(std::string_view number)
{
    std::size_t i = 0;
    long long lead = 0;
    bool seen = false;
    bool fraction = false;
    for (; i < number.size() && (isDecimalDigit(number[i]) || number[i] == '.'); ++i) {
        if (number[i] == '.') {
            fraction = true;
        } else if (!seen && number[i] == '0') {
            lead -= fraction ? 1 : 0;
        } else if (!seen) {
            seen = true;
            lead += fraction ? -1 : 0;
        } else if (!fraction) {
            ++lead;
        }
    }
    long long exponent = 0;
    bool negative = false;
    if (i < number.size()) { // the exponent: "e", a sign, digits
        negative = i + 1 < number.size() && number[i + 1] == '-';
        for (++i; i < number.size(); ++i) {
            if (isDecimalDigit(number[i]) && exponent < 1'000'000'000) {
                exponent = exponent * 10 + (number[i] - '0');
            }
        }
    }
    return lead + (negative ? -exponent : exponent) > 0;
}

// Most lines hold short decimals ("22.19", "-40"): up to 15 digits make a whole number a double
// holds exactly, and its division by a power of ten up to 1e15 (exact too) rounds once, as the
// reading of the text does. Nothing for any other text.
std::optional<double> shortDecimal(const char *first, const char *end)
{
    static constexpr double kPowers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    const bool negative = first != end && *first == '-';
    first += negative ? 1 : 0;
    std::uint64_t whole = 0;
    int digits = 0;
    int decimals = -1;
    for (; first != end; ++first) {
        if (*first == '.' && decimals < 0) {
            decimals = 0;
            continue;
        }
        if (!isDecimalDigit(*first) || ++digits > 15) {
            return std::nullopt;
        }
        whole = whole * 10 + static_cast<std::uint64_t>(*first - '0');
        decimals += decimals >= 0 ? 1 : 0;
    }
    if (digits == 0) {
        return std::nullopt;
    }
    const double value = static_cast<double>(whole) / kPowers[std::max(decimals, 0)];
    return negative ? -value : value;
}

} // namespace

std::optional<double> numberFromText(std::string_view text)
{
    const char *first = text.data();
    const char *const end = first + text.size();
    // C takes a plus sign where from_chars takes none; a second sign is no number either way.
    if (first != end && *first == '+') {
        ++first;
        if (first != end && (*first == '-' || *first == '+')) {
            return std::nullopt;
        }
    }
    if (const std::optional<double> quick = shortDecimal(first, end)) {
        return quick;
    }
    double value = 0.0;
    const auto [stop, error] = std::from_chars(first, end, value, std::chars_format::general);
    if (stop != end || first == end || error == std::errc::invalid_argument) {
        return std::nullopt;
    }
    if (error == std::errc::result_out_of_range) {
        const bool negative = *first == '-';
        const std::string_view digits(negative ? first + 1 : first,
                                      static_cast<std::size_t>(end - first) - negative);
        value = tooLarge(digits) ? std::numeric_limits<double>::infinity() : 0.0;
        return negative ? -value : value;
    }
    return value;
}

} // namespace adc
