#pragma once

#include <optional>
#include <string_view>

namespace adc {

/// The number `text` is, read whole as C reads a number in the "C" locale: an optional sign,
/// decimal digits with an optional point and exponent ("1e3", "-0.5", "+7", ".5"), or "inf",
/// "infinity", "nan" and "nan(...)" in any case. A number too large for a double is +-infinity,
/// one too small is +-0. Nothing when any of the text is not part of the number, for text with
/// blanks around the number, and for hexadecimal numbers ("0x1p3"), which boards do not print.
std::optional<double> numberFromText(std::string_view text);

} // namespace adc
