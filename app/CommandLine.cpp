#include "CommandLine.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

namespace adc {

CommandLine CommandLine::parse(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption port(QStringLiteral("port"), QString(), QStringLiteral("DEVICE"));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringLiteral("version"));
    const QCommandLineOption demo(QStringLiteral("demo"));
    parser.addOptions({port, help, version, demo});
    const QCommandLineOption sweep(QStringLiteral("sweep"));
    const QCommandLineOption listPorts(QStringLiteral("list-ports"));
    parser.addOptions({sweep, listPorts});
    // Recording and logging without a window, read by readLogging().
    const QCommandLineOption record(QStringLiteral("record"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption mode(QStringLiteral("mode"), QString(), QStringLiteral("MODE"));
    const QCommandLineOption count(QStringLiteral("count"), QString(), QStringLiteral("N"));
    const QCommandLineOption duration(QStringLiteral("duration"), QString(), QStringLiteral("S"));
    parser.addOptions({record, mode, count, duration, QCommandLineOption(QStringLiteral("append")),
                       QCommandLineOption(QStringLiteral("headless"))});

    CommandLine result;
    if (!parser.parse(arguments)) {
        result.m_action = Action::Fail;
        result.m_errorText = parser.errorText();
        return result;
    }
    if (!parser.positionalArguments().isEmpty()) {
        result.m_action = Action::Fail;
        result.m_errorText =
            QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments().first());
        return result;
    }
    if (parser.isSet(help)) {
        result.m_action = Action::ShowHelp;
        return result;
    }
    if (parser.isSet(version)) {
        result.m_action = Action::ShowVersion;
        return result;
    }
    if (parser.isSet(listPorts)) {
        result.m_action = Action::ListPorts;
        return result;
    }
    if (parser.isSet(demo) && parser.isSet(port)) {
        result.m_action = Action::Fail;
        result.m_errorText =
            QStringLiteral("--demo binds port 1 to the simulated board; leave out --port.");
        return result;
    }
    result.m_demo = parser.isSet(demo);
    result.m_sweep = parser.isSet(sweep);
    if (parser.isSet(port)) {
        const QString device = parser.value(port);
        if (device.isEmpty()) {
            result.m_action = Action::Fail;
            result.m_errorText = QStringLiteral("The option --port needs a device name.");
            return result;
        }
        result.m_port1Device = device;
    }
    if (!result.readLogging(parser)) {
        result.m_action = Action::Fail;
    }
    return result;
}

bool CommandLine::readLogging(const QCommandLineParser &parser)
{
    const auto refuse = [this](const QString &text) {
        m_errorText = text;
        return false;
    };
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

QString CommandLine::usage()
{
    const QString text = QStringLiteral(
        "Usage: adconverter [--port DEVICE | --demo] [--sweep] [--record FILE [--append]]\n"
        "       adconverter --headless --mode int|mcp [--port DEVICE | --demo]\n"
        "                   [--record FILE|- [--append]] [--count N] [--duration SECONDS]\n"
        "       adconverter --list-ports\n"
        "\n"
        "Shows the channels of an A/D converter board on serial port 1 (9600,N,8,1):\n"
        "the latest value of every channel, the number of samples and a strip chart.\n"
        "\n"
        "Options:\n"
        "  --port DEVICE  the device that stands for serial port 1 (default %1)\n"
        "  --demo         port 1 is a simulated board (INT and MCP records at 9600 baud),\n"
        "                 for trying the program without a board\n"
        "  --sweep        the chart runs like an oscilloscope: at the right edge it goes on\n"
        "                 at the left, erasing a narrow band ahead of itself\n"
        "  --record FILE  write every accepted record to FILE as a CSV row; an existing\n"
        "                 FILE is refused unless --append adds the rows after its own\n"
        "  --headless     log without a window (no display needed); with --record -\n"
        "                 the CSV goes to standard output\n"
        "  --mode int|mcp with --headless: log INT (PIC) or MCP3201 (MCP) records\n"
        "  --count N      with --headless: end after N records\n"
        "  --duration SECONDS  with --headless: end after that long\n"
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
