#pragma once

#include "DeviceName.h"
#include "LineSettings.h"
#include "ModeTable.h"
#include "PublishSettings.h"

#include <QString>
#include <QStringList>

#include <optional>

class QCommandLineParser;

namespace adc {

/// What the program was asked to do on its command line.
///
/// The options, their defaults and which of them go together are those of OptionTable; here
/// their values are read and checked. Anything the table or a value's check refuses is an
/// error, reported in one line with exit status 2. A new option is a row in the table, plus a
/// field for its value read in parse().
class CommandLine {
public:
    enum class Action {
        Run,         ///< show the window
        ShowHelp,    ///< print usage() to standard output and exit with status 0
        ShowVersion, ///< print versionText() to standard output and exit with status 0
        ListPorts,   ///< print the serial ports of the system and exit with status 0
        Fail,        ///< print errorText() to standard error and exit with status 2
    };

    /// The longest --duration taken, in seconds.
    static constexpr double kMaxDurationSeconds = 1e9;

    /// The most records --history takes (about 78 GB).
    static constexpr qint64 kMaxHistoryRecords = 1'000'000'000;

    /// Reads `arguments`; the first one is the program's own name.
    static CommandLine parse(const QStringList &arguments);

    /// The help text: how to call the program and what each option does.
    static QString usage();
    /// "adconverter" and the version, on one line.
    static QString versionText();

    Action action() const { return m_action; }
    /// The device that stands for serial port 1.
    QString port1Device() const { return m_port1Device; }
    /// Whether --port was given.
    bool portGiven() const { return m_portGiven; }
    /// Whether port 1 is to be the simulated board.
    bool demo() const { return m_demo; }
    /// Whether the start dialog comes before the window (--choose).
    bool choose() const { return m_choose; }
    /// Whether the chart sweeps: at the right edge it goes on at the left.
    bool sweep() const { return m_sweep; }
    /// The line's settings (--baud); kDefaultBaud unless given.
    const LineSettings &lineSettings() const { return m_line; }
    /// Whether --baud was given.
    bool baudGiven() const { return m_baudGiven; }
    /// Whether a run whose device is lost waits for it to come back (--reconnect).
    bool reconnect() const { return m_reconnect; }
    /// The CSV file every accepted record goes to ("-": standard output); empty: none.
    QString recordPath() const { return m_recordPath; }
    /// Whether rows go after those of an existing file.
    bool append() const { return m_append; }
    /// Whether to log without a window, in mode().
    bool headless() const { return m_headless; }
    Mode mode() const { return m_mode; }
    /// Records after which the headless logger ends; 0: no limit.
    qint64 countLimit() const { return m_countLimit; }
    /// Seconds after which the headless logger ends; 0: no limit.
    double durationSeconds() const { return m_durationSeconds; }
    /// Whether the scope opens beside the window (--scope).
    bool scope() const { return m_scope; }
    /// The recording the scope shows alone (--view); empty: none.
    QString viewPath() const { return m_viewPath; }
    /// Records the scope keeps (--history).
    qint64 historyRecords() const { return m_historyRecords; }
    /// The broker and topic every accepted record is published to (--publish); none: not
    /// published.
    const std::optional<PublishTarget> &publishTarget() const { return m_publishTarget; }
    /// The certificate authorities to trust for mqtts:// (--publish-ca); empty: the system's.
    QString publishCaFile() const { return m_publishCaFile; }
    /// The file whose first line is the broker's password (--publish-password-file); empty:
    /// the environment variable ADC_PUBLISH_PASSWORD, if set.
    QString publishPasswordFile() const { return m_publishPasswordFile; }
    /// --publish and its options, the file names as their bytes (the device left empty); none:
    /// not published.
    std::optional<PublishSettings> publishSettings() const;
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
    bool readScope(const QCommandLineParser &parser);
    bool readPublishing(const QCommandLineParser &parser);

    Action m_action = Action::Run;
    QString m_port1Device = QString::fromLatin1(kDefaultPort1Device);
    QString m_errorText;
    bool m_demo = false;
    bool m_portGiven = false;
    bool m_choose = false;
    bool m_baudGiven = false;
    bool m_sweep = false;
    LineSettings m_line;
    bool m_reconnect = false;
    QString m_recordPath;
    bool m_append = false;
    bool m_headless = false;
    Mode m_mode = Mode::Int;
    qint64 m_countLimit = 0;
    double m_durationSeconds = 0;
    bool m_scope = false;
    QString m_viewPath;
    qint64 m_historyRecords = 0; // read from the table's default unless given
    std::optional<PublishTarget> m_publishTarget;
    QString m_publishCaFile;
    QString m_publishPasswordFile;
};

} // namespace adc
