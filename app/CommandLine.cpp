#include "CommandLine.h"
#include "HistoryStore.h"
#include "OptionTable.h"
#include "Version.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

#include <charconv>
#include <cmath>

namespace adc {

CommandLine CommandLine::parse(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    OptionTable::addTo(parser);
    CommandLine result;
    // --stats alone means --stats table: its value may be left out.
    QStringList given = arguments;
    for (qsizetype i = 1; i < given.size(); ++i) {
        if ((given[i] == QLatin1String("--stats") || given[i] == QLatin1String("-stats")) &&
            (i + 1 == given.size() || given[i + 1].startsWith(QLatin1Char('-')))) {
            given.insert(i + 1, QStringLiteral("table"));
        }
    }
    if (result.readAction(parser, given) && result.m_action == Action::Run) {
        const QString combination = OptionTable::combinationError(parser);
        if (!combination.isEmpty()) {
            result.refuse(combination);
        } else if (result.readPort(parser) && result.readFormat(parser) &&
                   result.readLogging(parser) && result.readLimits(parser) &&
                   result.readScope(parser) && result.readReport(parser)) {
            result.readPublishing(parser);
        }
    }
    return result;
}

bool CommandLine::refuse(const QString &text)
{
    m_action = Action::Fail;
    m_errorText = text;
    return false;
}

bool CommandLine::readAction(QCommandLineParser &parser, const QStringList &arguments)
{
    if (!parser.parse(arguments)) {
        const QStringList unknown = parser.unknownOptionNames();
        const OptionTable::Row *nearest =
            unknown.isEmpty() ? nullptr : OptionTable::nearest(unknown.first().toStdString());
        if (nearest == nullptr) {
            return refuse(parser.errorText());
        }
        return refuse(QStringLiteral("Unknown option '") + unknown.first() +
                      QStringLiteral("' (did you mean --") +
                      QString::fromUtf8(nearest->name.data(), qsizetype(nearest->name.size())) +
                      QStringLiteral("?)."));
    }
    if (!parser.positionalArguments().isEmpty()) {
        // A bare file or device name is most likely meant for the option that takes it.
        const QString argument = parser.positionalArguments().first();
        QString meant;
        if (argument.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive)) {
            meant = QStringLiteral("; to look at a recording, give --view ") + argument;
        } else if (argument.startsWith(QLatin1String("/dev/"))) {
            meant = QStringLiteral("; to use that device, give --port ") + argument;
        }
        return refuse(QStringLiteral("Unexpected argument '") + argument + QLatin1Char('\'') +
                      meant + QLatin1Char('.'));
    }
    if (parser.isSet(QStringLiteral("help"))) {
        m_action = Action::ShowHelp;
    } else if (parser.isSet(QStringLiteral("version"))) {
        m_action = Action::ShowVersion;
    } else if (parser.isSet(QStringLiteral("list-ports"))) {
        m_action = Action::ListPorts;
    }
    return true;
}

bool CommandLine::readPort(const QCommandLineParser &parser)
{
    const QString port = QStringLiteral("port");
    m_settings.simulated = parser.isSet(QStringLiteral("demo"));
    m_choose = parser.isSet(QStringLiteral("choose"));
    m_portGiven = parser.isSet(port);
    m_baudGiven = parser.isSet(QStringLiteral("baud"));
    m_settings.sweep = parser.isSet(QStringLiteral("sweep"));
    m_settings.reconnect = parser.isSet(QStringLiteral("reconnect"));
    // Unless given, the values are the table's defaults.
    if (!readBaud(parser.value(QStringLiteral("baud")))) {
        return false;
    }
    m_settings.device = parser.value(port);
    if (m_settings.device.isEmpty()) {
        return refuse(QStringLiteral("The option --port needs a device name."));
    }
    return true;
}

bool CommandLine::readBaud(const QString &value)
{
    // Whether the device takes the speed is the port's to say.
    const std::optional<std::int32_t> baud = LineSettings::readBaud(value.toStdString());
    if (!baud) {
        return refuse(QStringLiteral("The option --baud needs the line speed as a whole number "
                                     "from %1 to %2, such as 9600 or 115200, not '%3'.")
                          .arg(kMinBaud)
                          .arg(kMaxBaud)
                          .arg(value));
    }
    m_settings.baud = *baud;
    return true;
}

bool CommandLine::readLogging(const QCommandLineParser &parser)
{
    m_headless = parser.isSet(QStringLiteral("headless"));
    m_settings.append = parser.isSet(QStringLiteral("append"));
    if (parser.isSet(QStringLiteral("record"))) {
        m_settings.recordPath = parser.value(QStringLiteral("record"));
        if (m_settings.recordPath.isEmpty()) {
            return refuse(QStringLiteral("The option --record needs a file name."));
        }
        if (m_settings.recordPath == QLatin1String("-") && !m_headless) {
            return refuse(QStringLiteral("--record - (standard output) goes with --headless."));
        }
    }
    if (!m_headless) {
        return true;
    }
    m_settings.showDropped = parser.isSet(QStringLiteral("show-dropped"));
    if (m_settings.format != Format::Board) {
        if (parser.isSet(QStringLiteral("mode"))) {
            return refuse(QStringLiteral("--mode chooses among the board's records and cannot be "
                                         "combined with --format %1.")
                              .arg(QString::fromUtf8(formatOptionName(m_settings.format))));
        }
        return true;
    }
    const QString mode = parser.value(QStringLiteral("mode"));
    const std::optional<Mode> named = modeForOption(mode.toStdString());
    if (!named) {
        return refuse(QStringLiteral("--mode takes ") +
                      QString::fromStdString(optionNames(" or ")) + QStringLiteral(", not '") +
                      mode + QStringLiteral("'."));
    }
    m_settings.mode = *named;
    return true;
}

bool CommandLine::readFormat(const QCommandLineParser &parser)
{
    m_formatGiven = parser.isSet(QStringLiteral("format"));
    const QString format = parser.value(QStringLiteral("format"));
    const std::optional<Format> named = formatForOption(format.toStdString());
    if (!named) {
        return refuse(QStringLiteral("--format takes ") +
                      QString::fromStdString(formatNames(", ")) + QStringLiteral(", not '") +
                      format + QStringLiteral("'."));
    }
    m_settings.format = *named;
    if (!parser.isSet(QStringLiteral("channels"))) {
        return true;
    }
    const QString channels = parser.value(QStringLiteral("channels"));
    bool ok = false;
    m_settings.channels = channels.toInt(&ok);
    if (m_settings.format != Format::Csv) {
        return refuse(QStringLiteral("--channels sets the values of a CSV line and goes with "
                                     "--format csv."));
    }
    if (!ok || m_settings.channels < 1 || m_settings.channels > kMaxTextChannels) {
        return refuse(QStringLiteral("--channels needs a whole number from 1 to %1, not '")
                          .arg(kMaxTextChannels) +
                      channels + QStringLiteral("'."));
    }
    return true;
}

bool CommandLine::readLimits(const QCommandLineParser &parser)
{
    bool ok = true;
    if (parser.isSet(QStringLiteral("count"))) {
        const QString count = parser.value(QStringLiteral("count"));
        m_settings.countLimit = count.toLongLong(&ok);
        if (!ok || m_settings.countLimit < 1) {
            return refuse(QStringLiteral("--count needs a whole number of records from 1, not '") +
                          count + QStringLiteral("'."));
        }
    }
    if (parser.isSet(QStringLiteral("duration"))) {
        const QString duration = parser.value(QStringLiteral("duration"));
        const double seconds = duration.toDouble(&ok);
        if (!ok || !(seconds > 0 && seconds <= kMaxDurationSeconds)) {
            return refuse(QStringLiteral("--duration needs a number of seconds above 0 and up to "
                                         "%1 (about 31 years), not '")
                              .arg(kMaxDurationSeconds, 0, 'f', 0) +
                          duration + QStringLiteral("'."));
        }
        m_settings.durationSeconds = seconds;
    }
    return true;
}

bool CommandLine::readScope(const QCommandLineParser &parser)
{
    m_settings.scope = parser.isSet(QStringLiteral("scope"));
    for (const QString &channel : parser.values(QStringLiteral("channel"))) {
        std::string error;
        const std::optional<ChannelUnits::Setting> setting =
            ChannelUnits::parse(channel.toStdString(), error);
        if (!setting) {
            return refuse(QString::fromStdString(error));
        }
        m_settings.channelUnits.push_back(*setting);
    }
    const QString view = QStringLiteral("view");
    m_viewPath = parser.value(view);
    if (parser.isSet(view) && m_viewPath.isEmpty()) {
        return refuse(QStringLiteral("The option --view needs a recording's file name."));
    }
    const QString history = parser.value(QStringLiteral("history"));
    if (parser.isSet(QStringLiteral("history")) && !m_settings.scope && m_viewPath.isEmpty()) {
        return refuse(QStringLiteral("--history goes with --scope or --view."));
    }
    bool ok = false;
    m_settings.historyRecords = history.toLongLong(&ok);
    if (!ok || m_settings.historyRecords < 1 || m_settings.historyRecords > kMaxHistoryRecords) {
        return refuse(QStringLiteral("--history needs a whole number of records from 1 to %1, "
                                     "not '")
                          .arg(kMaxHistoryRecords) +
                      history + QStringLiteral("'."));
    }
    const std::int64_t fits =
        HistoryStore::largestCapacity(HistoryStore::physicalMemory(), m_settings.runMode());
    if (m_settings.historyRecords > fits) {
        return refuse(QStringLiteral("--history %1 does not fit in this computer's memory; the "
                                     "most it holds is %2.")
                          .arg(m_settings.historyRecords)
                          .arg(fits));
    }
    return true;
}

bool CommandLine::readPublishing(const QCommandLineParser &parser)
{
    if (!parser.isSet(QStringLiteral("publish"))) {
        return true;
    }
    std::string error;
    // The URL's bytes as given: a topic that is not UTF-8 is refused, not changed.
    std::optional<PublishTarget> target = PublishTarget::parse(
        DeviceName::toBytes(parser.value(QStringLiteral("publish"))).toStdString(), error);
    if (!target) {
        return refuse(QString::fromStdString(error));
    }
    PublishSettings publishing{*target, {}, {}, {}};
    if (parser.isSet(QStringLiteral("publish-ca"))) {
        const QString caFile = parser.value(QStringLiteral("publish-ca"));
        if (!target->tls || caFile.isEmpty()) {
            return refuse(QStringLiteral("--publish-ca FILE goes with an mqtts:// URL."));
        }
        publishing.caFile = DeviceName::toBytes(caFile).toStdString();
    }
    if (parser.isSet(QStringLiteral("publish-password-file"))) {
        const QString passwordFile = parser.value(QStringLiteral("publish-password-file"));
        if (target->user.empty() || passwordFile.isEmpty()) {
            return refuse(QStringLiteral("--publish-password-file FILE goes with a user name in "
                                         "the URL: mqtt://USER@HOST/TOPIC."));
        }
        publishing.passwordFile = DeviceName::toBytes(passwordFile).toStdString();
    }
    m_publishing = std::move(publishing);
    return true;
}

namespace {

/// `text` as a whole number or a number; none when it is anything else.
template <typename Number> std::optional<Number> numberOf(const QString &text)
{
    const std::string bytes = text.toStdString();
    Number n{};
    const auto [end, error] = std::from_chars(bytes.data(), bytes.data() + bytes.size(), n);
    if (error != std::errc() || end != bytes.data() + bytes.size() || bytes.empty()) {
        return std::nullopt;
    }
    return n;
}

} // namespace

bool CommandLine::readReport(const QCommandLineParser &parser)
{
    const bool plot = parser.isSet(QStringLiteral("plot"));
    const bool stats = parser.isSet(QStringLiteral("stats"));
    if (!plot && !stats) {
        for (const char *option : {"run", "from", "to"}) {
            if (parser.isSet(QLatin1String(option))) {
                return refuse(
                    QStringLiteral("--%1 goes with --plot or --stats.").arg(QLatin1String(option)));
            }
        }
        return true;
    }
    Report report;
    report.plotPath = parser.value(QStringLiteral("plot"));
    if (plot && report.plotPath.isEmpty()) {
        return refuse(QStringLiteral("The option --plot needs a file name for the picture."));
    }
    const QString style = parser.value(QStringLiteral("stats"));
    if (stats && style != QLatin1String("table") && style != QLatin1String("csv")) {
        return refuse(QStringLiteral("--stats takes table or csv, not '") + style +
                      QStringLiteral("'."));
    }
    report.csv = style == QLatin1String("csv");
    const QStringList size = parser.value(QStringLiteral("size")).split(QLatin1Char('x'));
    const auto width = numberOf<int>(size.value(0));
    const auto height = numberOf<int>(size.value(1));
    if (size.size() != 2 || !width || !height || *width < 64 || *height < 64 || *width > 10000 ||
        *height > 10000) {
        return refuse(QStringLiteral("--size needs WIDTHxHEIGHT in pixels, each from 64 to "
                                     "10000, such as 1200x700, not '") +
                      parser.value(QStringLiteral("size")) + QStringLiteral("'."));
    }
    report.width = *width;
    report.height = *height;
    if (parser.isSet(QStringLiteral("history"))) {
        report.history = m_settings.historyRecords;
    }
    if (!readReportRange(parser, report)) {
        return false;
    }
    m_report = std::move(report);
    return true;
}

bool CommandLine::readReportRange(const QCommandLineParser &parser, Report &report)
{
    if (parser.isSet(QStringLiteral("run"))) {
        report.choice.run = numberOf<std::int64_t>(parser.value(QStringLiteral("run")));
        if (!report.choice.run || *report.choice.run < 1) {
            return refuse(QStringLiteral("--run needs a run number from 1, as in the "
                                         "recording's run column, not '") +
                          parser.value(QStringLiteral("run")) + QStringLiteral("'."));
        }
    }
    for (const char *option : {"from", "to"}) {
        const QString name = QLatin1String(option);
        if (!parser.isSet(name)) {
            continue;
        }
        const std::optional<double> seconds = numberOf<double>(parser.value(name));
        if (!seconds || !std::isfinite(*seconds)) {
            return refuse(QStringLiteral("--%1 needs a number of seconds since the run's Start, "
                                         "not '%2'.")
                              .arg(name, parser.value(name)));
        }
        (name == QLatin1String("from") ? report.choice.from : report.choice.to) = seconds;
    }
    return true;
}

StartSettings CommandLine::overriding(StartSettings remembered) const
{
    if (m_portGiven) {
        remembered.device = m_settings.device;
        remembered.simulated = false;
    }
    remembered.simulated = remembered.simulated || m_settings.simulated;
    if (m_baudGiven) {
        remembered.baud = m_settings.baud;
    }
    if (m_formatGiven) {
        remembered.format = m_settings.format;
        remembered.channels = m_settings.channels;
    }
    if (!m_settings.recordPath.isEmpty()) {
        remembered.recordPath = m_settings.recordPath;
    }
    remembered.sweep = remembered.sweep || m_settings.sweep;
    remembered.reconnect = remembered.reconnect || m_settings.reconnect;
    remembered.scope = remembered.scope || m_settings.scope;
    remembered.historyRecords = m_settings.historyRecords;
    remembered.channelUnits = m_settings.channelUnits;
    return remembered;
}

QString CommandLine::usage()
{
    return OptionTable::helpText();
}

QString CommandLine::versionText()
{
    return QLatin1String(kVersionText);
}

} // namespace adc
