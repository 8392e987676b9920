#pragma once

#include <QString>

#include <span>
#include <string_view>

class QCommandLineParser;

namespace adc {

/// Every option of `adconverter`, each once: the parser's setup, --help (and through it the
/// manual page) and the checks of which options go together are all read from here. A new
/// option is a row in OptionTable.cpp plus the code in CommandLine that reads its value.
class OptionTable {
public:
    /// Which front end takes an option.
    enum class FrontEnd {
        Both,     ///< the window and the headless logger
        Window,   ///< the window only: refused with --headless
        Headless, ///< the headless logger only: needs --headless
        Neither,  ///< answered at once, without a run (--help, --version, --list-ports)
    };

    /// One option: its long name (without the dashes) and what --help says it does (from a
    /// small letter, without a full stop), with the rest set by the calls that follow, e.g.
    /// `Row("count", "end after N records").value("N").takenBy(FrontEnd::Headless)`.
    struct Row {
        std::string_view name;
        std::string_view description;
        std::string_view valueName;    ///< what its value is called in --help; empty: a switch
        std::string_view defaultValue; ///< the value when the option is not given; empty: none
        FrontEnd frontEnd = FrontEnd::Both;
        std::string_view excludes; ///< options it may not be given with, separated by blanks
        std::string_view needs;    ///< options it may not be given without, separated by blanks
        std::string_view alias;    ///< another name for it (one letter for -h); empty: none
        /// Whether `needs` holds for the board's records only, not with --format csv|keyvalue.
        bool needsForBoardOnly = false;

        constexpr Row(std::string_view name, std::string_view description)
            : name(name), description(description)
        {
        }
        constexpr Row value(std::string_view valueName, std::string_view defaultValue = {}) const
        {
            Row row = *this;
            row.valueName = valueName;
            row.defaultValue = defaultValue;
            return row;
        }
        constexpr Row takenBy(FrontEnd frontEnd) const
        {
            Row row = *this;
            row.frontEnd = frontEnd;
            return row;
        }
        constexpr Row excluding(std::string_view options) const
        {
            Row row = *this;
            row.excludes = options;
            return row;
        }
        constexpr Row needing(std::string_view options) const
        {
            Row row = *this;
            row.needs = options;
            return row;
        }
        constexpr Row forBoardOnly() const
        {
            Row row = *this;
            row.needsForBoardOnly = true;
            return row;
        }
        constexpr Row alsoCalled(std::string_view alias) const
        {
            Row row = *this;
            row.alias = alias;
            return row;
        }
    };

    /// The rows, in the order --help lists them.
    static std::span<const Row> rows();
    /// The row of the option called `name` (its long name); nullptr when there is none.
    static const Row *find(std::string_view name);
    /// The row whose name `name` most likely misspells (a letter left out, added, changed, or
    /// two swapped, twice at most); nullptr when none is that near, or two are.
    static const Row *nearest(std::string_view name);

    /// Gives `parser` every option, with its value name and default.
    static void addTo(QCommandLineParser &parser);
    /// The first thing the table forbids among the options set in `parser` (a front end's
    /// option without it, two options that exclude each other, an option without one it
    /// needs), as a sentence naming the options; empty when they go together.
    static QString combinationError(const QCommandLineParser &parser);
    /// The --help text: the ways to call the program, what it does and every option.
    static QString helpText();
};

} // namespace adc
