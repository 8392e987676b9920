#include "OptionTable.h"
#include "DeviceName.h"
#include "HistoryStore.h"
#include "LineSettings.h"
#include "ScopeKeys.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

namespace adc {

namespace {

using FrontEnd = OptionTable::FrontEnd;

/// `number` in decimal digits, made when the program is compiled, so that a default defined
/// elsewhere as a number is written only there.
template <std::int32_t number>
constexpr std::array<char, 12> kDecimal = [] {
    static_assert(number > 0);
    std::array<char, 12> digits{};
    std::size_t size = 0;
    for (std::int32_t rest = number; rest > 0; rest /= 10) {
        ++size;
    }
    for (std::int32_t rest = number; rest > 0; rest /= 10) {
        digits[--size] = static_cast<char>('0' + rest % 10);
    }
    return digits;
}();

// A new option is one more row; --help lists them in this order.
using Row = OptionTable::Row;
constexpr Row kRows[] = {
    Row("choose", "first a dialog to choose the port, the speed, the run to start, a recording "
                  "and the chart's options, remembered as its defaults for next time (options "
                  "given with it take their place)")
        .takenBy(FrontEnd::Window),
    Row("port", "the device that stands for serial port 1").value("DEVICE", kDefaultPort1Device),
    Row("demo", "port 1 is a simulated board (INT and MCP records at the --baud pace), for "
                "trying the program without a board")
        .excluding("port"),
    Row("baud", "the line speed in baud, standard such as 300 to 921600 or any other the port "
                "takes; always N,8,1")
        .value("N", kDecimal<kDefaultBaud>.data()),
    Row("reconnect", "a device lost during a run is waited for: when it is back at the same "
                     "path, the run goes on with the same count, chart and recording"),
    Row("sweep", "the chart runs like an oscilloscope, going on at the left when it reaches the "
                 "right edge and erasing a narrow band ahead of itself")
        .takenBy(FrontEnd::Window),
    Row("record", "write every accepted record to FILE as a CSV row (- for standard output, with "
                  "--headless); an existing FILE is refused unless --append is given")
        .value("FILE"),
    Row("append", "add the rows after those of an existing recording").needing("record"),
    Row("headless", "log without a window (no display needed)")
        .takenBy(FrontEnd::Headless)
        .needing("mode"),
    Row("mode", "log INT (PIC) or MCP3201 (MCP) records")
        .value("int|mcp")
        .takenBy(FrontEnd::Headless),
    Row("count", "end after N records").value("N").takenBy(FrontEnd::Headless),
    Row("duration", "end after that many seconds").value("SECONDS").takenBy(FrontEnd::Headless),
    Row("scope", "open the scope beside it, showing the run's records since Start with axes, "
                 "zoom, pause, the values under the mouse and markers")
        .takenBy(FrontEnd::Window),
    Row("view", "open a recording made with --record in the scope, alone and without a port")
        .value("FILE.csv")
        .excluding("port demo baud reconnect sweep record scope headless"),
    Row("history", "the records the scope keeps (--scope or --view), the oldest leaving first; "
                   "about 85 bytes each")
        .value("N", kDecimal<HistoryStore::kDefaultCapacity>.data())
        .excluding("headless"),
    Row("channel",
        "name channel N (from 0, as the recording's ch0, ch1 ...) in the scope and "
        "show its counts in units: count x GAIN + OFFSET UNIT, e.g. 0:supply:5/1023:0:V; "
        "an empty field keeps its default; once per channel")
        .value("N:NAME:GAIN:OFFSET:UNIT")
        .takenBy(FrontEnd::Window),
    Row("plot", "draw the recording of --view as the scope shows it, with axes and legend, "
                "into the PNG picture OUT.png and exit; no display needed")
        .value("OUT.png")
        .needing("view")
        .excluding("stats"),
    Row("stats", "print the measurements of the recording of --view and exit: per channel the "
                 "records, min, max, mean, std, rms, pp (peak to peak) and frequency in Hz, as "
                 "a table or as CSV")
        .value("table|csv", "table")
        .needing("view"),
    Row("run", "with --plot or --stats: the run numbered N in the recording's run column "
               "(otherwise its first run)")
        .value("N"),
    Row("from", "with --plot or --stats: from S seconds since the run's Start").value("S"),
    Row("to", "with --plot or --stats: up to S seconds since the run's Start").value("S"),
    Row("size", "the size of the picture of --plot, in pixels")
        .value("WxH", "1200x700")
        .needing("plot"),
    Row("publish", "publish every accepted record as JSON to the MQTT broker at "
                   "mqtt://[USER@]HOST[:PORT]/TOPIC (mqtts:// for TLS) on TOPIC/records, and "
                   "the logger's state on TOPIC/status")
        .value("URL")
        .excluding("view"),
    Row("publish-ca", "trust the certificate authorities in FILE for an mqtts:// URL, rather "
                      "than the system's")
        .value("FILE")
        .needing("publish"),
    Row("publish-password-file", "the broker's password is the first line of FILE, a file or a "
                                 "pipe (- for standard input; otherwise the environment "
                                 "variable ADC_PUBLISH_PASSWORD, if set)")
        .value("FILE")
        .needing("publish"),
    Row("list-ports", "list the serial ports of this computer and exit").takenBy(FrontEnd::Neither),
    Row("help", "show this help and exit").takenBy(FrontEnd::Neither).alsoCalled("h"),
    Row("version", "show the version and exit").takenBy(FrontEnd::Neither),
};

// The option that chooses the front end without a window.
constexpr std::string_view kHeadless = "headless";
// Where --help wraps its lines.
constexpr qsizetype kHelpWidth = 79;
// Holds an option and its value, or a default and its word, on one line of --help.
constexpr QChar kUnbroken(0x00a0);

QString text(std::string_view view)
{
    return QString::fromUtf8(view.data(), static_cast<qsizetype>(view.size()));
}

/// Calls `use` with each name of a list separated by blanks.
template <typename Use> void forEachName(std::string_view list, Use use)
{
    while (!list.empty()) {
        const std::size_t end = std::min(list.find(' '), list.size());
        if (end > 0) {
            use(list.substr(0, end));
        }
        list.remove_prefix(std::min(end + 1, list.size()));
    }
}

/// "--name VALUE", as the user types it, with `gap` between the two.
QString spelled(const OptionTable::Row &row, QChar gap = QLatin1Char(' '))
{
    QString option = QStringLiteral("--") + text(row.name);
    if (!row.valueName.empty()) {
        option += gap + text(row.valueName);
    }
    return option;
}

/// A list of names as options: "--a, --b" (with their values, and `gap` before each).
QString spelledList(std::string_view list, bool withValues, QChar gap = QLatin1Char(' '))
{
    QStringList options;
    forEachName(list, [&](std::string_view name) {
        const OptionTable::Row *row = OptionTable::find(name);
        options << (row && withValues ? spelled(*row, gap) : QStringLiteral("--") + text(name));
    });
    return options.join(QStringLiteral(", "));
}

/// What --help says about `row`: its description with its front end, default and companions.
QString describe(const OptionTable::Row &row)
{
    QString line = text(row.description);
    if (row.frontEnd == FrontEnd::Headless && row.name != kHeadless) {
        line.prepend(QStringLiteral("with --headless: "));
    } else if (row.frontEnd == FrontEnd::Window) {
        line.prepend(QStringLiteral("in the window: "));
    }
    if (!row.defaultValue.empty()) {
        line += QStringLiteral(" (default\u00a0%1)").arg(text(row.defaultValue));
    }
    if (!row.excludes.empty()) {
        line += QStringLiteral("; not with ") + spelledList(row.excludes, false);
    }
    if (!row.needs.empty()) {
        line += QStringLiteral("; needs ") + spelledList(row.needs, true, kUnbroken);
    }
    return line;
}

/// `words` on lines of at most kHelpWidth characters, all but the first indented by `indent`.
QString wrapped(const QString &words, qsizetype indent)
{
    QString result;
    qsizetype column = indent;
    for (const QString &word : words.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (column > indent && column + 1 + word.size() > kHelpWidth) {
            result += QLatin1Char('\n') + QString(indent, QLatin1Char(' '));
            column = indent;
        } else if (column > indent) {
            result += QLatin1Char(' ');
            ++column;
        }
        result += word;
        column += word.size();
    }
    return result.replace(kUnbroken, QLatin1Char(' '));
}

/// Letters to leave out, add or change, or pairs of neighbours to swap, to make `b` of `a`.
std::size_t editsBetween(std::string_view a, std::string_view b)
{
    std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); ++i) {
        for (std::size_t j = 0; j <= b.size(); ++j) {
            if (i == 0 || j == 0) {
                d[i][j] = i + j;
                continue;
            }
            const std::size_t change = a[i - 1] == b[j - 1] ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + change});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
            }
        }
    }
    return d[a.size()][b.size()];
}

} // namespace

std::span<const OptionTable::Row> OptionTable::rows()
{
    return kRows;
}

const OptionTable::Row *OptionTable::find(std::string_view name)
{
    const auto row = std::find_if(std::begin(kRows), std::end(kRows),
                                  [name](const Row &r) { return r.name == name; });
    return row == std::end(kRows) ? nullptr : row;
}

const OptionTable::Row *OptionTable::nearest(std::string_view name)
{
    constexpr std::size_t kMostEdits = 2;
    const Row *best = nullptr;
    std::size_t bestEdits = kMostEdits + 1;
    int tied = 0;
    for (const Row &row : kRows) {
        const std::size_t edits = editsBetween(name, row.name);
        if (edits < bestEdits) {
            best = &row;
            bestEdits = edits;
            tied = 0;
        } else if (edits == bestEdits) {
            ++tied;
        }
    }
    // A name of two letters is two edits from any other: no guess then.
    return tied > 0 || bestEdits >= name.size() ? nullptr : best;
}

void OptionTable::addTo(QCommandLineParser &parser)
{
    for (const Row &row : kRows) {
        QStringList names{text(row.name)};
        if (!row.alias.empty()) {
            names.prepend(text(row.alias));
        }
        QCommandLineOption option(names, text(row.description), text(row.valueName));
        if (!row.defaultValue.empty()) {
            option.setDefaultValue(text(row.defaultValue));
        }
        parser.addOption(option);
    }
}

QString OptionTable::combinationError(const QCommandLineParser &parser)
{
    const bool headless = parser.isSet(text(kHeadless));
    for (const Row &row : kRows) {
        const QString name = text(row.name);
        if (!parser.isSet(name)) {
            continue;
        }
        if (row.frontEnd == FrontEnd::Headless && !headless) {
            return QStringLiteral("--%1 goes with --headless.").arg(name);
        }
        if (row.frontEnd == FrontEnd::Window && headless) {
            return QStringLiteral("--%1 goes with the window, not with --headless.").arg(name);
        }
        QString error;
        forEachName(row.excludes, [&](std::string_view other) {
            if (error.isEmpty() && parser.isSet(text(other))) {
                error = QStringLiteral("--%1 cannot be combined with --%2.").arg(name, text(other));
            }
        });
        forEachName(row.needs, [&](std::string_view needed) {
            if (error.isEmpty() && !parser.isSet(text(needed))) {
                error = QStringLiteral("--%1 needs %2.").arg(name, spelledList(needed, true));
            }
        });
        if (!error.isEmpty()) {
            return error;
        }
    }
    return {};
}

QString OptionTable::helpText()
{
    // The ways to call it, in the form help2man takes for the manual page's synopsis.
    QString help = QStringLiteral("Usage: adconverter [OPTION]...\n");
    if (const Row *headless = find(kHeadless)) {
        QString form = QStringLiteral("--") + text(kHeadless);
        forEachName(headless->needs, [&](std::string_view needed) {
            form += QLatin1Char(' ') + spelledList(needed, true);
        });
        help += QStringLiteral("  or:  adconverter %1 [OPTION]...\n").arg(form);
    }
    QStringList answers;
    for (const Row &row : kRows) {
        if (row.frontEnd == FrontEnd::Neither) {
            answers << spelled(row);
        }
    }
    help += QStringLiteral("  or:  adconverter %1\n").arg(answers.join(QStringLiteral(" | ")));
    help += QStringLiteral(
        "\nShows the channels of an A/D converter board on serial port 1: the latest value of\n"
        "every channel, the number of samples and a strip chart. With --headless it logs the\n"
        "records of one mode without a window.\n\nOptions:\n");

    qsizetype width = 0;
    QStringList names;
    for (const Row &row : kRows) {
        names << (row.alias.empty() ? QString() : QStringLiteral("-%1, ").arg(text(row.alias))) +
                     spelled(row);
        width = std::max(width, names.back().size());
    }
    const qsizetype indent = 2 + width + 2;
    for (qsizetype i = 0; i < names.size(); ++i) {
        const QString start = QStringLiteral("  ") + names[i].leftJustified(width + 2);
        help += start + wrapped(describe(kRows[i]), indent) + QLatin1Char('\n');
    }
    help += QStringLiteral("\nKeys and mouse in the scope:\n") +
            QString::fromStdString(ScopeKeys::helpText(2));
    return help;
}

} // namespace adc
