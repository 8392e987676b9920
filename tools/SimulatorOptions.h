#pragma once

#include "LineSettings.h"
#include "ModeTable.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace adc {

/// What the simulated board is told on its command line.
struct SimulatorOptions {
    /// How each line ends.
    enum class LineEnding { CrLf, Lf };
    /// How fast lines go out.
    enum class Pacing {
        Baud, ///< like a serial line of `baud` baud, 10 bits per character
        Rate, ///< `rate` lines per second
        Max,  ///< as fast as the reader takes them; nothing is dropped
    };

    /// The modes whose records the board sends, taking turns.
    std::vector<Mode> modes{Mode::Int, Mode::Mcp3201};
    /// What the board prints: the ADC board's records, or lines of CSV or name:value pairs.
    Format format = Format::Board;
    /// The channels of a board that prints lines (1 .. kMaxTextChannels).
    int channels = 4;
    LineEnding lineEnding = LineEnding::CrLf;
    Pacing pacing = Pacing::Baud;
    std::uint32_t baud = kDefaultBaud;
    double rate = 0.0;
    std::optional<std::uint64_t> count; ///< lines to send; none: until stopped
    std::optional<std::uint64_t> seed;  ///< none: a different run each time
    double noise = 0.0;                 ///< share of spoilt lines, 0 .. 1
    std::string device;                 ///< write here instead of a pseudo-terminal
    std::string link;                   ///< symbolic link to the pseudo-terminal, if any
    bool waitReader = false;            ///< send nothing until a reader opens the line
    std::string replay;                 ///< a recording (CSV) to send instead of made-up records
    double speed = 1.0;                 ///< how many times faster than recorded a replay goes
    bool help = false;
    bool version = false;

    /// The line end's characters.
    std::string_view lineEnd() const { return lineEnding == LineEnding::CrLf ? "\r\n" : "\n"; }

    /// The outcome of reading a command line: the options, or why they are wrong.
    struct ParseResult;

    /// Reads the arguments after the program name. Options take their value as the next
    /// argument or after "=" ("--baud 9600", "--baud=9600"); a next argument that starts with
    /// "-" is taken for a missing value, not as the value.
    static ParseResult parse(std::span<const std::string_view> arguments);

    /// The text --help prints.
    static std::string usage();
};

struct SimulatorOptions::ParseResult {
    SimulatorOptions options;
    std::string error; ///< empty when the command line is good
};

} // namespace adc
