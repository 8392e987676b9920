#include "CommandLine.h"
#include "HistoryStore.h"
#include "OptionTable.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

namespace adc {

CommandLine CommandLine::parse(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    OptionTable::addTo(parser);
    CommandLine result;
    if (result.readAction(parser, arguments) && result.m_action == Action::Run) {
        const QString combination = OptionTable::combinationError(parser);
        if (!combination.isEmpty()) {
            result.refuse(combination);
        } else if (result.readPort(parser) && result.readLogging(parser) &&
                   result.readScope(parser)) {
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
        return refuse(parser.errorText());
    }
    if (!parser.positionalArguments().isEmpty()) {
        return refuse(
            QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments().first()));
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
    m_demo = parser.isSet(QStringLiteral("demo"));
    m_choose = parser.isSet(QStringLiteral("choose"));
    m_portGiven = parser.isSet(port);
    m_baudGiven = parser.isSet(QStringLiteral("baud"));
    m_sweep = parser.isSet(QStringLiteral("sweep"));
    m_reconnect = parser.isSet(QStringLiteral("reconnect"));
    // Unless given, the values are the table's defaults.
    if (!readBaud(parser.value(QStringLiteral("baud")))) {
        return false;
    }
    m_port1Device = parser.value(port);
    if (m_port1Device.isEmpty()) {
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
    m_line.baud = *baud;
    return true;
}

bool CommandLine::readLogging(const QCommandLineParser &parser)
{
    m_headless = parser.isSet(QStringLiteral("headless"));
    m_append = parser.isSet(QStringLiteral("append"));
    if (parser.isSet(QStringLiteral("record"))) {
        m_recordPath = parser.value(QStringLiteral("record"));
        if (m_recordPath.isEmpty()) {
            return refuse(QStringLiteral("The option --record needs a file name."));
        }
        if (m_recordPath == QLatin1String("-") && !m_headless) {
            return refuse(QStringLiteral("--record - (standard output) goes with --headless."));
        }
    }
    if (!m_headless) {
        return true;
    }
    const QString mode = parser.value(QStringLiteral("mode"));
    const std::optional<Mode> named = modeForOption(mode.toStdString());
    if (!named) {
        return refuse(QStringLiteral("--mode takes ") +
                      QString::fromStdString(optionNames(" or ")) + QStringLiteral(", not '") +
                      mode + QStringLiteral("'."));
    }
    m_mode = *named;
    bool ok = true;
    if (parser.isSet(QStringLiteral("count"))) {
        const QString count = parser.value(QStringLiteral("count"));
        m_countLimit = count.toLongLong(&ok);
        if (!ok || m_countLimit < 1) {
            return refuse(
                QStringLiteral("--count needs a whole number of records from 1, not '%1'.")
                    .arg(count));
        }
    }
    if (parser.isSet(QStringLiteral("duration"))) {
        const QString duration = parser.value(QStringLiteral("duration"));
        m_durationSeconds = duration.toDouble(&ok);
        if (!ok || !(m_durationSeconds > 0 && m_durationSeconds <= kMaxDurationSeconds)) {
            return refuse(QStringLiteral("--duration needs a number of seconds above 0 and up "
                                         "to %1 (about 31 years), not '%2'.")
                              .arg(kMaxDurationSeconds, 0, 'f', 0)
                              .arg(duration));
        }
    }
    return true;
}

bool CommandLine::readScope(const QCommandLineParser &parser)
{
    m_scope = parser.isSet(QStringLiteral("scope"));
    const QString view = QStringLiteral("view");
    m_viewPath = parser.value(view);
    if (parser.isSet(view) && m_viewPath.isEmpty()) {
        return refuse(QStringLiteral("The option --view needs a recording's file name."));
    }
    const QString history = parser.value(QStringLiteral("history"));
    if (parser.isSet(QStringLiteral("history")) && !m_scope && m_viewPath.isEmpty()) {
        return refuse(QStringLiteral("--history goes with --scope or --view."));
    }
    bool ok = false;
    m_historyRecords = history.toLongLong(&ok);
    if (!ok || m_historyRecords < 1 || m_historyRecords > kMaxHistoryRecords) {
        return refuse(QStringLiteral("--history needs a whole number of records from 1 to %1, "
                                     "not '%2'.")
                          .arg(kMaxHistoryRecords)
                          .arg(history));
    }
    const std::int64_t fits = HistoryStore::largestCapacity(HistoryStore::physicalMemory());
    if (m_historyRecords > fits) {
        return refuse(QStringLiteral("--history %1 does not fit in this computer's memory; the "
                                     "most it holds is %2.")
                          .arg(m_historyRecords)
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
    m_publishTarget = PublishTarget::parse(
        DeviceName::toBytes(parser.value(QStringLiteral("publish"))).toStdString(), error);
    if (!m_publishTarget) {
        return refuse(QString::fromStdString(error));
    }
    if (parser.isSet(QStringLiteral("publish-ca"))) {
        m_publishCaFile = parser.value(QStringLiteral("publish-ca"));
        if (!m_publishTarget->tls || m_publishCaFile.isEmpty()) {
            return refuse(QStringLiteral("--publish-ca FILE goes with an mqtts:// URL."));
        }
    }
    if (parser.isSet(QStringLiteral("publish-password-file"))) {
        m_publishPasswordFile = parser.value(QStringLiteral("publish-password-file"));
        if (m_publishTarget->user.empty() || m_publishPasswordFile.isEmpty()) {
            return refuse(QStringLiteral("--publish-password-file FILE goes with a user name in "
                                         "the URL: mqtt://USER@HOST/TOPIC."));
        }
    }
    return true;
}

std::optional<PublishSettings> CommandLine::publishSettings() const
{
    if (!m_publishTarget) {
        return std::nullopt;
    }
    return PublishSettings{*m_publishTarget,
                           DeviceName::toBytes(m_publishCaFile).toStdString(),
                           DeviceName::toBytes(m_publishPasswordFile).toStdString(),
                           {}};
}

QString CommandLine::usage()
{
    return OptionTable::helpText();
}

QString CommandLine::versionText()
{
    return QStringLiteral("adconverter ") + QLatin1String(ADC_VERSION);
}

} // namespace adc
