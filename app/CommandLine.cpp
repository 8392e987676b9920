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
    return result;
}

QString CommandLine::usage()
{
    const QString text = QStringLiteral(
        "Usage: adconverter [--port DEVICE | --demo] [--sweep]\n"
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
