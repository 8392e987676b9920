#pragma once

#include "PublishSettings.h"
#include "RecordingReport.h"
#include "StartSettings.h"

#include <optional>

#include <QString>
#include <QStringList>

class QCommandLineParser;

namespace adc {

/// What the program was asked to do on its command line.
///
/// The options, their defaults and which of them go together are those of OptionTable; here
/// their values are read and checked into typed settings. Anything the table or a value's check
/// refuses is an error, reported in one line with exit status 2. A new option is a row in the
/// table, plus a field for its value read in parse().
class CommandLine {
public:
    enum class Action {
        Run,         ///< show the window, or log with --headless
        ShowHelp,    ///< print usage() to standard output and exit with status 0
        ShowVersion, ///< print versionText() to standard output and exit with status 0
        ListPorts,   ///< print the serial ports of the system and exit with status 0
        Fail,        ///< print errorText() to standard error and exit with status 2
    };

    /// The longest --duration taken, in seconds.
    static constexpr double kMaxDurationSeconds = 1e9;

    /// The most records --history takes (about 85 GB).
    static constexpr qint64 kMaxHistoryRecords = 1'000'000'000;

    /// Reads `arguments`, each as DeviceName::fromBytes() gives it; the first one is the
    /// program's own name.
    static CommandLine parse(const QStringList &arguments);

    /// The help text: how to call the program and what each option does.
    static QString usage();
    /// "adconverter" and the version, on one line.
    static QString versionText();

    Action action() const { return m_action; }
    /// What the session starts with.
    const StartSettings &settings() const { return m_settings; }
    /// `remembered` with every option given on the command line in its place.
    StartSettings overriding(StartSettings remembered) const;
    /// --publish and its options, the file names as their bytes (the device left empty); none:
    /// not published.
    const std::optional<PublishSettings> &publishing() const { return m_publishing; }
    /// Whether the start dialog comes before the window (--choose).
    bool choose() const { return m_choose; }
    /// Whether to log without a window, in the settings' mode.
    bool headless() const { return m_headless; }
    /// The recording the scope shows alone (--view); empty: none.
    QString viewPath() const { return m_viewPath; }

    /// --plot or --stats: a report of the recording of --view, made without a window.
    struct Report {
        QString plotPath; ///< the PNG to draw (--plot); empty: the measurements (--stats)
        bool csv = false; ///< --stats csv
        RecordingReport::Choice choice;
        int width = 0, height = 0; ///< the picture's size (--size)
        /// The records each run keeps: --history when given, else none (as many as fit).
        std::optional<std::int64_t> history;
    };
    const std::optional<Report> &report() const { return m_report; }
    /// Why the command line was refused (when action() is Fail).
    QString errorText() const { return m_errorText; }
    /// The exit status for an action that ends the program without a window.
    int exitStatus() const { return m_action == Action::Fail ? 2 : 0; }

private:
    bool readAction(QCommandLineParser &parser, const QStringList &arguments);
    bool readPort(const QCommandLineParser &parser);
    bool refuse(const QString &text);
    bool readBaud(const QString &value);
    bool readLogging(const QCommandLineParser &parser);
    bool readLimits(const QCommandLineParser &parser);
    bool readScope(const QCommandLineParser &parser);
    bool readPublishing(const QCommandLineParser &parser);
    bool readReport(const QCommandLineParser &parser);
    bool readReportRange(const QCommandLineParser &parser, Report &report);

    Action m_action = Action::Run;
    QString m_errorText;
    StartSettings m_settings;
    std::optional<PublishSettings> m_publishing;
    bool m_portGiven = false;
    bool m_baudGiven = false;
    bool m_choose = false;
    bool m_headless = false;
    QString m_viewPath;
    std::optional<Report> m_report;
};

} // namespace adc
