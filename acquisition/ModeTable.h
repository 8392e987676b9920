#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace adc {

/// The acquisition modes: the board's two, one per start button, and one per format of the
/// lines other boards print.
enum class Mode {
    Int,      ///< "INT A/D Start": eight channels in records tagged "PIC"
    Mcp3201,  ///< "MCP3201 A/D Start": two channels in records tagged "MCP"
    Csv,      ///< lines of numbers separated by commas, semicolons, tabs or blanks
    KeyValue, ///< lines of name:value or name=value pairs
};

/// What the lines on the port are: the board's records, or the lines of another board.
enum class Format {
    Board,    ///< the board's PIC and MCP records
    Csv,      ///< "23.5,1013.2,40"
    KeyValue, ///< "temp:23.5 hum:40"
};

/// A colour value with red in the low byte, green in the middle byte and blue in the high byte.
using Colour = std::uint32_t;

/// Most channels a board mode has.
inline constexpr int kMaxChannels = 8;
/// Most channels the lines of other boards carry: the most any mode has.
inline constexpr int kMaxTextChannels = 32;
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
/// is a row of its own, with no sync character, no tag and no full scale, and as many channels
/// as such lines may carry (the lines say how many they have).
struct ModeInfo {
    Mode mode;
    Format format;
    char sync;                      ///< character that starts a record; 0: none
    std::string_view tag;           ///< the record's first three characters
    int channelCount;               ///< channels 0 .. channelCount-1 at most
    int fullScale;                  ///< largest value the converter gives; 0: none
    std::string_view optionName;    ///< on command lines and in settings: "int"
    std::string_view label;         ///< for people: "INT A/D"
    std::string_view recordingName; ///< in the recording's `mode` column: "INT"
    /// Palette colour number per channel; channels past the eighth take them again in turn.
    std::array<int, kMaxChannels> paletteNumbers;
};

/// Every row of the mode table: the board's modes in the order of the start buttons, then the
/// formats of other boards.
std::span<const ModeInfo> modeTable();
/// The board's modes: the rows of the start buttons.
std::span<const ModeInfo> boardModes();

/// The row of the mode table for `mode`.
const ModeInfo &modeInfo(Mode mode);
/// Whether `mode` reads the board's records.
bool isBoard(Mode mode);

/// The board's other mode: the one whose records arrive when the board is switched over; a
/// format of other boards has none and gives its own mode.
Mode otherMode(Mode mode);

/// The board mode whose optionName is `name` ("int", "mcp"); none for any other text.
std::optional<Mode> modeForOption(std::string_view name);

/// The board modes' option names in table order, joined by `separator` ("int|mcp").
std::string optionNames(std::string_view separator);

/// The format named `name` on command lines and in settings ("board", "csv", "keyvalue");
/// none for any other text.
std::optional<Format> formatForOption(std::string_view name);
/// The name of `format` on command lines and in settings.
std::string_view formatOptionName(Format format);
/// The formats' names joined by `separator` ("board|csv|keyvalue").
std::string formatNames(std::string_view separator);
/// The mode that reads `format`'s lines; the first start button's for the board.
Mode modeOf(Format format);

/// The colour value of entry `number` (0-15) of the standard 16-colour palette.
Colour paletteColour(int number);

/// The trace colour of channel `channel` in `mode`.
Colour channelColour(Mode mode, int channel);

/// The ordinate at which value `v` is drawn in a board mode (`mode`), rounded to the nearest
/// integer with halves going to the even neighbour, and held at the signed 32-bit limits when it
/// lies beyond.
std::int32_t ordinateOf(Mode mode, double v);

} // namespace adc
