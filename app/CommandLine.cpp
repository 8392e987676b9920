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
    const QCommandLineOption baud(QStringLiteral("baud"), QString(), QStringLiteral("N"));
    const QCommandLineOption reconnect(QStringLiteral("reconnect"));
    parser.addOptions({baud, reconnect});

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
    result.m_reconnect = parser.isSet(reconnect);
    if (parser.isSet(baud) && !result.readBaud(parser.value(baud))) {
        return result;
    }
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
        m_action = Action::Fail;
        m_errorText = QStringLiteral("The option --baud needs the line speed as a whole number "
                                     "from 1 to 2147483647, such as 9600 or 115200, not '%1'.")
                          .arg(value);
        return false;
    }
    m_baud = rate;
    return true;
}

QString CommandLine::usage()
{
    const QString text = QStringLiteral(
        "Usage: adconverter [--port DEVICE | --demo] [--baud N] [--reconnect] [--sweep]\n"
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
