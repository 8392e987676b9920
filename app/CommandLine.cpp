#include "CommandLine.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

#include <utility>

namespace adc {

namespace {

/// Every option the program knows; their values are read by name.
void addOptions(QCommandLineParser &parser)
{
    parser.addOption(QCommandLineOption(QStringList{QStringLiteral("h"), QStringLiteral("help")}));
    for (const char *flag :
         {"version", "demo", "sweep", "list-ports", "reconnect", "append", "headless"}) {
        parser.addOption(QCommandLineOption(QString::fromLatin1(flag)));
    }
    const std::pair<const char *, const char *> valued[] = {
        {"port", "DEVICE"}, {"baud", "N"},          {"record", "FILE"},
        {"mode", "MODE"},   {"count", "N"},         {"duration", "S"},
        {"publish", "URL"}, {"publish-ca", "FILE"}, {"publish-password-file", "FILE"}};
    for (const auto &[name, value] : valued) {
        parser.addOption(
            QCommandLineOption(QString::fromLatin1(name), QString(), QString::fromLatin1(value)));
    }
}

} // namespace

CommandLine CommandLine::parse(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    addOptions(parser);
    CommandLine result;
    if (result.readAction(parser, arguments) && result.m_action == Action::Run) {
        if (result.readPort(parser) && result.readLogging(parser)) {
            result.readPublishing(parser);
        }
    }
    if (!result.m_errorText.isEmpty()) {
        result.m_action = Action::Fail;
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
    if (m_demo && parser.isSet(port)) {
        return refuse(
            QStringLiteral("--demo binds port 1 to the simulated board; leave out --port."));
    }
    m_sweep = parser.isSet(QStringLiteral("sweep"));
    m_reconnect = parser.isSet(QStringLiteral("reconnect"));
    if (parser.isSet(QStringLiteral("baud")) && !readBaud(parser.value(QStringLiteral("baud")))) {
        return false;
    }
    if (parser.isSet(port)) {
        m_port1Device = parser.value(port);
        if (m_port1Device.isEmpty()) {
            return refuse(QStringLiteral("The option --port needs a device name."));
        }
    }
    return true;
}

bool CommandLine::readBaud(const QString &value)
{
    // Digits only: no sign, no blanks, no fraction; whether the device takes the speed is the
    // port's to say.
    bool whole = !value.isEmpty();
    for (const QChar c : value) {
        whole = whole && c >= QLatin1Char('0') && c <= QLatin1Char('9');
    }
    const qint32 rate = whole ? value.toInt(&whole) : 0;
    if (!whole || rate <= 0) {
        return refuse(QStringLiteral("The option --baud needs the line speed as a whole number "
                                     "from 1 to 2147483647, such as 9600 or 115200, not '%1'.")
                          .arg(value));
    }
    m_baud = rate;
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
    } else if (m_append) {
        return refuse(QStringLiteral("--append goes with --record FILE."));
    }
    const bool countSet = parser.isSet(QStringLiteral("count"));
    const bool durationSet = parser.isSet(QStringLiteral("duration"));
    if (!m_headless) {
        if (parser.isSet(QStringLiteral("mode")) || countSet || durationSet) {
            return refuse(QStringLiteral("--mode, --count and --duration go with --headless."));
        }
        return true;
    }
    const QString mode = parser.value(QStringLiteral("mode"));
    if (mode != QLatin1String("int") && mode != QLatin1String("mcp")) {
        return refuse(QStringLiteral("--headless needs --mode int or --mode mcp."));
    }
    m_mode = mode == QLatin1String("int") ? Mode::Int : Mode::Mcp3201;
    bool ok = true;
    if (countSet) {
        m_countLimit = parser.value(QStringLiteral("count")).toLongLong(&ok);
        if (!ok || m_countLimit < 1) {
            return refuse(QStringLiteral("--count needs a whole number of records from 1."));
        }
    }
    if (durationSet) {
        m_durationSeconds = parser.value(QStringLiteral("duration")).toDouble(&ok);
        if (!ok || !(m_durationSeconds > 0 && m_durationSeconds < 1e9)) {
            return refuse(QStringLiteral("--duration needs a number of seconds above 0."));
        }
    }
    return true;
}

bool CommandLine::readPublishing(const QCommandLineParser &parser)
{
    const bool ca = parser.isSet(QStringLiteral("publish-ca"));
    const bool passwordFile = parser.isSet(QStringLiteral("publish-password-file"));
    if (!parser.isSet(QStringLiteral("publish"))) {
        if (ca || passwordFile) {
            return refuse(
                QStringLiteral("--publish-ca and --publish-password-file go with --publish URL."));
        }
        return true;
    }
    std::string error;
    m_publishTarget =
        PublishTarget::parse(parser.value(QStringLiteral("publish")).toStdString(), error);
    if (!m_publishTarget) {
        return refuse(QString::fromStdString(error));
    }
    if (ca) {
        m_publishCaFile = parser.value(QStringLiteral("publish-ca"));
        if (!m_publishTarget->tls || m_publishCaFile.isEmpty()) {
            return refuse(QStringLiteral("--publish-ca FILE goes with an mqtts:// URL."));
        }
    }
    if (passwordFile) {
        m_publishPasswordFile = parser.value(QStringLiteral("publish-password-file"));
        if (m_publishTarget->user.empty() || m_publishPasswordFile.isEmpty()) {
            return refuse(QStringLiteral("--publish-password-file FILE goes with a user name in "
                                         "the URL: mqtt://USER@HOST/TOPIC."));
        }
    }
    return true;
}

QString CommandLine::usage()
{
    const QString text = QStringLiteral(
        "Usage: adconverter [--port DEVICE | --demo] [--baud N] [--reconnect] [--sweep]\n"
        "                   [--record FILE [--append]]\n"
        "       adconverter --headless --mode int|mcp [--port DEVICE | --demo] [--baud N]\n"
        "                   [--reconnect] [--record FILE|- [--append]] [--count N]\n"
        "                   [--duration SECONDS]\n"
        "       either of them with [--publish URL [--publish-ca FILE]\n"
        "                   [--publish-password-file FILE]]\n"
        "       adconverter --list-ports\n"
        "\n"
        "Shows the channels of an A/D converter board on serial port 1 (9600,N,8,1 unless\n"
        "--baud says otherwise): the latest value of every channel, the number of samples\n"
        "and a strip chart.\n"
        "\n"
        "Options:\n"
        "  --port DEVICE  the device that stands for serial port 1 (default %1)\n"
        "  --demo         port 1 is a simulated board (INT and MCP records at the --baud pace),\n"
        "                 for trying the program without a board\n"
        "  --baud N       the line speed in baud (default 9600), standard such as 300 to\n"
        "                 921600 or any other the port takes; always N,8,1\n"
        "  --reconnect    a device lost during a run is waited for: when it is back at the\n"
        "                 same path, the run goes on with the same count, chart and recording\n"
        "  --sweep        the chart runs like an oscilloscope: at the right edge it goes on\n"
        "                 at the left, erasing a narrow band ahead of itself\n"
        "  --record FILE  write every accepted record to FILE as a CSV row; an existing\n"
        "                 FILE is refused unless --append adds the rows after its own\n"
        "  --headless     log without a window (no display needed); with --record -\n"
        "                 the CSV goes to standard output\n"
        "  --mode int|mcp with --headless: log INT (PIC) or MCP3201 (MCP) records\n"
        "  --count N      with --headless: end after N records\n"
        "  --duration SECONDS  with --headless: end after that long\n"
        "  --publish mqtt://[USER@]HOST[:PORT]/TOPIC\n"
        "                 publish every accepted record as JSON to the MQTT broker on\n"
        "                 TOPIC/records, and the logger's state on TOPIC/status; mqtts://\n"
        "                 for TLS with the system's certificate authorities\n"
        "  --publish-ca FILE  with mqtts://: trust the certificate authorities in FILE\n"
        "  --publish-password-file FILE  the broker's password is the first line of FILE\n"
        "                 (else the environment variable ADC_PUBLISH_PASSWORD, if set)\n"
        "  --list-ports   list the serial ports of this computer and exit\n"
        "  --help         show this help and exit\n"
        "  --version      show the version and exit\n");
    return text.arg(defaultPort1Device());
}

QString CommandLine::versionText()
{
    return QStringLiteral("adconverter ") + QLatin1String(ADC_VERSION);
}

} // namespace adc
