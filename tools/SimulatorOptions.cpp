#include "SimulatorOptions.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace adc {

namespace {

constexpr std::uint64_t kMaxBaud = 10'000'000;
constexpr double kMaxRate = 100'000'000.0;

template <typename T> bool readInteger(std::string_view text, T &value)
{
    if (text.empty() || text.front() == '+' || text.front() == '-') {
        return false;
    }
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

bool readNumber(std::string_view text, double &value)
{
    if (text.empty() || text.front() == '+' || text.front() == '-') {
        return false;
    }
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size() && std::isfinite(value);
}

std::string badValue(std::string_view option, std::string_view value, std::string_view wanted)
{
    return "invalid value '" + std::string(value) + "' for " + std::string(option) + " (" +
           std::string(wanted) + ")";
}

} // namespace

SimulatorOptions::ParseResult SimulatorOptions::parse(std::span<const std::string_view> arguments)
{
    ParseResult result;
    SimulatorOptions &o = result.options;
    bool baudGiven = false;
    bool rateGiven = false;

    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string_view name = arguments[i];
        std::optional<std::string_view> inlineValue;
        if (const auto eq = name.find('=');
            name.starts_with("--") && eq != std::string_view::npos) {
            inlineValue = name.substr(eq + 1);
            name = name.substr(0, eq);
        }
        if (name == "--help" || name == "-h") {
            if (inlineValue) {
                result.error = "option --help takes no value";
                return result;
            }
            o.help = true;
            continue;
        }
        if (name == "--wait-reader") {
            if (inlineValue) {
                result.error = "option --wait-reader takes no value";
                return result;
            }
            o.waitReader = true;
            continue;
        }
        static constexpr std::string_view kValued[] = {"--mode",   "--baud", "--rate",
                                                       "--count",  "--seed", "--noise",
                                                       "--device", "--link", "--line-ending"};
        bool known = false;
        for (std::string_view v : kValued) {
            known = known || name == v;
        }
        if (!known) {
            result.error = "unknown option '" + std::string(arguments[i]) + "'";
            return result;
        }
        std::string_view value;
        if (inlineValue) {
            value = *inlineValue;
        } else if (i + 1 < arguments.size()) {
            value = arguments[++i];
        } else {
            result.error = "option " + std::string(name) + " needs a value";
            return result;
        }

        if (name == "--mode") {
            if (value == "int") {
                o.mode = Mode::Int;
            } else if (value == "mcp") {
                o.mode = Mode::Mcp;
            } else if (value == "both") {
                o.mode = Mode::Both;
            } else {
                result.error = badValue(name, value, "int, mcp or both");
                return result;
            }
        } else if (name == "--line-ending") {
            if (value == "crlf") {
                o.lineEnding = LineEnding::CrLf;
            } else if (value == "lf") {
                o.lineEnding = LineEnding::Lf;
            } else {
                result.error = badValue(name, value, "crlf or lf");
                return result;
            }
        } else if (name == "--baud") {
            std::uint64_t baud = 0;
            if (!readInteger(value, baud) || baud == 0 || baud > kMaxBaud) {
                result.error = badValue(name, value, "a whole number from 1 to 10000000");
                return result;
            }
            o.baud = static_cast<std::uint32_t>(baud);
            baudGiven = true;
        } else if (name == "--rate") {
            if (value == "max") {
                o.pacing = Pacing::Max;
            } else if (double rate = 0; readNumber(value, rate) && rate > 0 && rate <= kMaxRate) {
                o.pacing = Pacing::Rate;
                o.rate = rate;
            } else {
                result.error = badValue(name, value, "lines per second above 0, or max");
                return result;
            }
            rateGiven = true;
        } else if (name == "--count") {
            std::uint64_t count = 0;
            if (!readInteger(value, count)) {
                result.error = badValue(name, value, "a whole number of lines");
                return result;
            }
            o.count = count;
        } else if (name == "--seed") {
            std::uint64_t seed = 0;
            if (!readInteger(value, seed)) {
                result.error =
                    badValue(name, value, "a whole number from 0 to 18446744073709551615");
                return result;
            }
            o.seed = seed;
        } else if (name == "--noise") {
            double noise = 0;
            if (!readNumber(value, noise) || noise > 1.0) {
                result.error = badValue(name, value, "a share from 0 to 1");
                return result;
            }
            o.noise = noise;
        } else if (name == "--device") {
            if (value.empty()) {
                result.error = badValue(name, value, "a path");
                return result;
            }
            o.device = value;
        } else if (name == "--link") {
            if (value.empty()) {
                result.error = badValue(name, value, "a path");
                return result;
            }
            o.link = value;
        }
    }
    if (baudGiven && rateGiven) {
        result.error = "--baud and --rate cannot be used together";
        return result;
    }
    if (!o.device.empty() && o.waitReader) {
        result.error =
            "--wait-reader waits for the pseudo-terminal and cannot be used with --device";
        return result;
    }
    if (!o.device.empty() && !o.link.empty()) {
        result.error = "--link names the pseudo-terminal and cannot be used with --device";
        return result;
    }
    return result;
}

std::string SimulatorOptions::usage()
{
    return R"(Usage: adc-board-sim [options]

Behaves like the A/D converter board on a serial line: opens a pseudo-terminal, prints the
path of its reader's end on the first line, and sends records there until stopped.
Point AD Converter (or any serial reader) at that path.

Options:
  --mode int|mcp|both   records to send: "PIC" (8 channels, 0-1023), "MCP" (2 channels,
                        0-4095), or both taking turns (default both)
  --baud N              pace the output like a line of N baud, 10 bits per character
                        (default 9600)
  --rate N              send N lines per second instead
  --rate max            send as fast as the reader takes them, dropping nothing
  --count N             stop after N lines
  --seed N              same seed, same bytes (default: a new seed each run)
  --noise P             spoil a share P (0 to 1) of the lines: NUL bytes, wrong or
                        lower-case tags, missing ":", bytes 128-255, lines cut short,
                        over-long lines, garbage between records (default 0)
  --line-ending crlf|lf end lines with carriage return and line feed, or line feed
                        only (default crlf)
  --link PATH           make PATH a symbolic link to the pseudo-terminal while running
  --device PATH         write to this device or file instead of a pseudo-terminal
  --wait-reader         send nothing until a reader opens the pseudo-terminal (and has had
                        a moment to set it up), so that it gets every record
  -h, --help            show this text

When paced, lines that find the reader's buffer full are dropped, as on a real line.
On exit, one line on standard error tells how many lines were sent whole and how
many records a reader in each mode accepts:
  adc-board-sim: sent N records, accepted: int=A mcp=B
Exit status: 0 when done or stopped by a signal, 1 on an error, 2 on a bad command line.
)";
}

} // namespace adc
