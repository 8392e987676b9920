#include "SimulatorOptions.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <getopt.h>
#include <tuple>
#include <vector>

namespace adc {

namespace {

constexpr double kMaxRate = 100'000'000.0;

// Reads a whole `text` as a number without a sign.
template <typename T> bool readPlain(std::string_view text, T &value)
{
    const char *end = text.data() + text.size();
    const auto [stop, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && stop == end && !text.starts_with('-') &&
           std::isfinite(static_cast<double>(value));
}

std::string badValue(std::string_view option, std::string_view value, std::string_view wanted)
{
    return "invalid value '" + std::string(value) + "' for --" + std::string(option) + " (" +
           std::string(wanted) + ")";
}

// Each option's key is a letter that stands for it (only -h is also accepted on its own).
constexpr option kOptions[] = {
    {"mode", required_argument, nullptr, 'm'},
    {"baud", required_argument, nullptr, 'b'},
    {"rate", required_argument, nullptr, 'r'},
    {"count", required_argument, nullptr, 'c'},
    {"seed", required_argument, nullptr, 's'},
    {"noise", required_argument, nullptr, 'n'},
    {"device", required_argument, nullptr, 'd'},
    {"link", required_argument, nullptr, 'l'},
    {"line-ending", required_argument, nullptr, 'e'},
    {"wait-reader", no_argument, nullptr, 'w'},
    {"replay", required_argument, nullptr, 'R'},
    {"speed", required_argument, nullptr, 'S'},
    {"version", no_argument, nullptr, 'V'},
    {"help", no_argument, nullptr, 'h'},
    {nullptr, 0, nullptr, 0},
};

std::string_view nameOf(int key)
{
    const auto *o = std::ranges::find(kOptions, key, &option::val);
    return o->name != nullptr ? o->name : "";
}

// Options that make no sense together, and why.
constexpr std::tuple<char, char, std::string_view> kClashes[] = {
    {'b', 'r', "--baud and --rate cannot be used together"},
    {'w', 'd', "--wait-reader waits for the pseudo-terminal and cannot be used with --device"},
    {'l', 'd', "--link names the pseudo-terminal and cannot be used with --device"},
    {'R', 'm', "--replay sends the recording's records and cannot be used with --mode"},
    {'R', 'n', "--replay sends the recording's records and cannot be used with --noise"},
    {'R', 's', "--replay sends the recording's records and cannot be used with --seed"},
    {'R', 'b', "--replay keeps the recording's pace and cannot be used with --baud"},
};

// The modes "--mode" names: one of the table's option names, or "both" for all of them.
std::string takeModes(SimulatorOptions &o, std::string_view name, std::string_view value)
{
    if (value == "both") {
        o.modes.clear();
        for (const ModeInfo &info : boardModes()) {
            o.modes.push_back(info.mode);
        }
        return {};
    }
    if (const std::optional<Mode> mode = modeForOption(value)) {
        o.modes = {*mode};
        return {};
    }
    return badValue(name, value, optionNames(", ") + " or both");
}

// Takes the value of an option that counts or measures; an error text, empty when it is good.
std::string takeNumber(SimulatorOptions &o, int key, std::string_view name, std::string_view value)
{
    using O = SimulatorOptions;
    std::uint64_t whole = 0;
    switch (key) {
    case 'b':
        if (const std::optional<std::int32_t> baud = LineSettings::readBaud(value)) {
            o.baud = static_cast<std::uint32_t>(*baud);
            return {};
        }
        return badValue(name, value,
                        "a whole number from " + std::to_string(kMinBaud) + " to " +
                            std::to_string(kMaxBaud));
    case 'r':
        o.pacing = value == "max" ? O::Pacing::Max : O::Pacing::Rate;
        if (value != "max" && (!readPlain(value, o.rate) || o.rate <= 0 || o.rate > kMaxRate)) {
            return badValue(name, value, "lines per second above 0, or max");
        }
        return {};
    case 'c':
        o.count = whole;
        return readPlain(value, *o.count) ? "" : badValue(name, value, "a whole number of lines");
    case 's':
        o.seed = whole;
        return readPlain(value, *o.seed)
                   ? ""
                   : badValue(name, value, "a whole number from 0 to 18446744073709551615");
    case 'n':
        return readPlain(value, o.noise) && o.noise <= 1.0
                   ? ""
                   : badValue(name, value, "a share from 0 to 1");
    default: // 'S'
        return readPlain(value, o.speed) && o.speed > 0 && o.speed <= kMaxRate
                   ? ""
                   : badValue(name, value, "a factor above 0, 2 for twice as fast");
    }
}

// Takes `value` for the option `key`; returns an error text, empty when the value is good.
std::string take(SimulatorOptions &o, int key, std::string_view value)
{
    using O = SimulatorOptions;
    const std::string_view name = nameOf(key);
    switch (key) {
    case 'm':
        return takeModes(o, name, value);
    case 'e':
        o.lineEnding = value == "lf" ? O::LineEnding::Lf : O::LineEnding::CrLf;
        return value == "crlf" || value == "lf" ? "" : badValue(name, value, "crlf or lf");
    case 'b':
    case 'r':
    case 'c':
    case 's':
    case 'n':
    case 'S':
        return takeNumber(o, key, name, value);
    case 'd':
    case 'l':
    case 'R':
        (key == 'd' ? o.device : key == 'l' ? o.link : o.replay) = value;
        return value.empty() ? badValue(name, value, "a path") : "";
    case 'w':
        o.waitReader = true;
        return {};
    case 'V':
        o.version = true;
        return {};
    case 'h':
        o.help = true;
        return {};
    }
    return {};
}

// What getopt_long's answer `key` for the argument `word` says is wrong, if anything.
std::string misuse(int key, const char *word, bool separateValue)
{
    if (key == ':') {
        return "option --" + std::string(nameOf(optopt)) + " needs a value";
    }
    if (key == '?') {
        if (optopt != 0 && std::string_view(word).starts_with("--")) {
            return "option --" + std::string(nameOf(optopt)) + " takes no value";
        }
        const std::string_view given(word);
        const bool ambiguous =
            given.starts_with("--") &&
            std::ranges::count_if(kOptions, [&](const option &o) {
                return o.name != nullptr && std::string_view(o.name).starts_with(given.substr(2));
            }) > 1;
        return (ambiguous ? "ambiguous option '" : "unknown option '") +
               (optopt != 0 ? std::string("-") + static_cast<char>(optopt) : std::string(word)) +
               "'";
    }
    // A value that looks like an option is the next option, and this one lacks its value.
    if (separateValue && optarg[0] == '-' && optarg[1] != '\0') {
        return "option --" + std::string(nameOf(key)) + " needs a value";
    }
    return {};
}

// Options given together that cannot be, or pace options that do not fit.
std::string clash(const SimulatorOptions &o, std::string_view given)
{
    const auto has = [given](char key) { return given.find(key) != std::string_view::npos; };
    for (const auto &[first, second, why] : kClashes) {
        if (has(first) && has(second)) {
            return std::string(why);
        }
    }
    if (has('R') && o.pacing == SimulatorOptions::Pacing::Rate) {
        return "--replay keeps the recording's pace (see --speed); of --rate it takes only max";
    }
    if (has('S') && !has('R')) {
        return "--speed scales the pace of --replay and needs it";
    }
    if (has('S') && o.pacing == SimulatorOptions::Pacing::Max) {
        return "--speed and --rate max cannot be used together";
    }
    return {};
}

// The lines of --help on --mode, from the mode table.
std::string modeUsage()
{
    std::string text = "  --mode " + optionNames("|") +
                       "|both   records to send, or both taking turns "
                       "(default both):\n";
    for (const ModeInfo &info : boardModes()) {
        text += "                        " + std::string(info.optionName) + ": \"" +
                std::string(info.tag) + "\" records, " + std::to_string(info.channelCount) +
                " channels, 0-" + std::to_string(info.fullScale) + "\n";
    }
    return text;
}

} // namespace

SimulatorOptions::ParseResult SimulatorOptions::parse(std::span<const std::string_view> arguments)
{
    std::vector<std::string> words{"adc-board-sim"};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char *> argv;
    for (std::string &word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    const int argc = static_cast<int>(words.size());

    ParseResult result;
    std::string given; // the keys of the options given
    optind = 0;        // start afresh
    opterr = 0;        // the messages are ours
    for (int key; result.error.empty() &&
                  (key = getopt_long(argc, argv.data(), ":h", kOptions, nullptr)) != -1;) {
        const bool separateValue = optarg != nullptr && optarg == argv[optind - 1];
        result.error = misuse(key, argv[optind - 1], separateValue);
        if (result.error.empty()) {
            result.error = take(result.options, key, optarg != nullptr ? optarg : "");
            given += static_cast<char>(key);
        }
    }
    if (result.error.empty() && optind < argc) {
        result.error = "unexpected argument '" + std::string(argv[optind]) + "'";
    }
    if (result.error.empty()) {
        result.error = clash(result.options, given);
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
)" + modeUsage() +
           R"(  --baud N              pace the output like a line of N baud, 10 bits per character
                        (default )" +
           std::to_string(kDefaultBaud) + R"()
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
  --replay FILE.csv     send the records of a recording made by AD Converter instead, in
                        its mode, with its spacing (or as fast as taken with --rate max);
                        runs one after the other without the pause between them;
                        not with --mode, --noise, --seed or --baud
  --speed X             replay X times as fast as recorded (default 1)
  --version             show the version
  -h, --help            show this text

When paced, lines that find the reader's buffer full are not sent, as a real line would
lose them. On exit, one line on standard error tells how many lines were sent whole and
how many records a reader in each mode accepts:
  adc-board-sim: sent N records, accepted: int=A mcp=B
Exit status: 0 when done or stopped by a signal, 1 on an error (a recording that cannot
be read included), 2 on a bad command line.
)";
}

} // namespace adc
