#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace adc {

/// The two acquisition modes, one per start button.
enum class Mode {
    Int,     ///< "INT A/D Start": eight channels in records tagged "PIC"
    Mcp3201, ///< "MCP3201 A/D Start": two channels in records tagged "MCP"
};

/// A colour value with red in the low byte, green in the middle byte and blue in the high byte.
using Colour = std::uint32_t;

/// Most channels any mode has.
inline constexpr int kMaxChannels = 8;
/// Longest record either mode takes, the blank the framer appends included; longer lines are
/// dropped whole.
inline constexpr std::size_t kMaxRecordLength = 32767;
/// Slots in an ordinate table (only the mode's channels are used).
inline constexpr int kOrdinateSlots = 11;

/// A table of ordinates, one slot per channel, in twips from the top of the plot area.
using OrdinateTable = std::array<std::int32_t, kOrdinateSlots>;

/// Everything that makes one kind of record differ from another: the one place for each of
/// these facts, read by the run, the recording, the command lines, the start dialog and the
/// board simulator. A kind of line that is no board record (a row of numbers, name:value pairs)
/// becomes a row of its own.
struct ModeInfo {
    Mode mode;
    char sync;                                    ///< character that starts a record
    std::string_view tag;                         ///< the record's first three characters
    int channelCount;                             ///< channels 0 .. channelCount-1
    int fullScale;                                ///< largest value the converter gives
    std::string_view optionName;                  ///< on command lines and in settings: "int"
    std::string_view label;                       ///< for people: "INT A/D"
    std::string_view recordingName;               ///< in the recording's `mode` column: "INT"
    std::array<int, kMaxChannels> paletteNumbers; ///< palette colour number per channel
};

/// Every row of the mode table, in the order of the start buttons.
std::span<const ModeInfo> modeTable();

/// The row of the mode table for `mode`.
const ModeInfo &modeInfo(Mode mode);

/// The board's other mode: the one whose records arrive when the board is switched over.
Mode otherMode(Mode mode);

/// The mode whose optionName is `name` ("int", "mcp"); none for any other text.
std::optional<Mode> modeForOption(std::string_view name);

/// The option names in table order, joined by `separator` ("int|mcp").
std::string optionNames(std::string_view separator);

/// The colour value of entry `number` (0-15) of the standard 16-colour palette.
Colour paletteColour(int number);

/// The trace colour of channel `channel` in `mode`.
Colour channelColour(Mode mode, int channel);

/// The ordinate at which value `v` is drawn in `mode`, rounded to the nearest integer with
/// halves going to the even neighbour, and held at the signed 32-bit limits when it lies beyond.
std::int32_t ordinateOf(Mode mode, double v);

} // namespace adc
