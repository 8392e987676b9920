#pragma once

#include "ModeTable.h"

#include <array>
#include <string>
#include <string_view>

namespace adc {

/// Checks a record's tag, walks its fields and turns each channel's value into an ordinate.
///
/// A record carries the tag at its first three characters, then per channel any text without
/// ":", a ":", the value and one blank. A channel's value text is "0" followed by its field.
class RecordParser {
public:
    /// The value texts of one record, one per channel of the mode.
    using ValueTexts = std::array<std::string_view, kMaxChannels>;
    /// The values of one record as valueOf() reads them, one per channel of the mode.
    using Values = std::array<double, kMaxChannels>;

    /// True when the record's first three characters are the mode's tag, exactly.
    static bool tagMatches(const ModeInfo &mode, std::string_view record);

    /// Walks the mode's fields of `record`. On success fills `texts` (views into `record`,
    /// which is changed in place) and the channels' slots of `current` (and of `values`, when
    /// given), and returns true. Returns false, touching none, for a record that has fewer ":"
    /// than the mode has channels or is longer than a record may be; such a record is dropped
    /// whole.
    static bool parse(const ModeInfo &mode, std::string &record, ValueTexts &texts,
                      OrdinateTable &current, Values *values = nullptr);

    /// The number a value text stands for: blanks, tabs and line feeds are skipped wherever
    /// they stand; then digits, optionally "." and digits, optionally an exponent ("E" or "D"
    /// in either case, a sign, digits). The first other character ends it; no digit means 0.
    /// A number too large for a double gives +infinity.
    static double valueOf(std::string_view valueText);
};

} // namespace adc
