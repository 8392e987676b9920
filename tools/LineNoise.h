#pragma once

#include "ModeTable.h"
#include "Random.h"

#include <array>
#include <string>
#include <string_view>

namespace adc {

/// The ways a line can come out wrong: what a noisy cable, a board being reset or a wrong
/// setting on the far end produce.
enum class NoiseKind {
    NulBytes,         ///< NUL bytes anywhere in a good record
    WrongTag,         ///< a tag that is near, but not, the right one ("PIX", "MPC")
    LowerCaseTag,     ///< the tag in the wrong case ("pic", "Mcp")
    MissingSeparator, ///< one field lost its ":"
    HighBytesInValue, ///< bytes 128-255 inside one value field of a good record
    HighByteGarbage,  ///< a line of bytes 128-255 only
    CutShort,         ///< a record broken off before its last field
    Garbage,          ///< a line of stray characters without any ":"
    OverLong,         ///< a record drowned in extra fields, longer than any reader keeps
};

/// Spoils good records in the ways NoiseKind names.
///
/// Every spoilt line ends with a line feed, so it can never swallow the line after it, and
/// whether a reader accepts it follows from its kind alone (see keepsRecord()): a reader finds a
/// record at the first sync character of a line, drops NUL bytes, wants the tag as the record's
/// first three characters and one ":" per channel. No spoilt line carries a right tag at the
/// first "P" or "M" unless it is the record's own, still good, tag.
class LineNoise {
public:
    static constexpr std::array<NoiseKind, 9> kAllKinds = {
        NoiseKind::NulBytes,         NoiseKind::WrongTag,         NoiseKind::LowerCaseTag,
        NoiseKind::MissingSeparator, NoiseKind::HighBytesInValue, NoiseKind::HighByteGarbage,
        NoiseKind::CutShort,         NoiseKind::Garbage,          NoiseKind::OverLong};

    /// Shortest over-long line, line feed not counted: past what a reader keeps as a record.
    static constexpr std::size_t kOverLongMinimum = 32800;

    /// Picks a kind. Over-long lines are rare: at 9600 baud one holds the line for half a
    /// minute.
    static NoiseKind pick(Random &random);

    /// Whether the reader of the record's own mode still accepts a line spoilt this way: NUL
    /// bytes are dropped by the reader, odd bytes inside a value are shown as they are.
    static bool keepsRecord(NoiseKind noise);

    /// Appends to `out` the good record `record` of `mode` (without its line end) spoilt by
    /// `noise`, ended by `lineEnd` (which ends with a line feed).
    static void append(NoiseKind noise, Mode mode, std::string_view record,
                       std::string_view lineEnd, Random &random, std::string &out);

    /// A short name of the kind, for messages.
    static std::string_view name(NoiseKind noise);
};

} // namespace adc
