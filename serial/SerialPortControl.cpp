#include "SerialPortControl.h"

#include <QDir>
#include <QFile>
#include <QMetaObject>
#include <QSerialPortInfo>
#include <QStringList>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <limits>
#include <poll.h>
#include <unistd.h>

namespace adc {

namespace {

/// Counts a call of ours into the port for as long as it runs.
class OwnCall {
public:
    explicit OwnCall(int &depth) : m_depth(depth) { ++m_depth; }
    ~OwnCall() { --m_depth; }
    OwnCall(const OwnCall &) = delete;
    OwnCall &operator=(const OwnCall &) = delete;

private:
    int &m_depth;
};

struct LineSettings {
    qint32 baudRate = 9600;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;
};

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

/// Reads "baud,parity,data bits,stop bits"; on failure `why` says what is wrong.
bool parseSettings(std::string_view text, LineSettings &settings, QString &why)
{
    std::string_view fields[4];
    std::size_t count = 0;
    for (std::string_view rest = text;;) {
        const std::size_t comma = rest.find(',');
        if (count == 4) {
            why = QObject::tr("there are more than four fields");
            return false;
        }
        fields[count++] = trimmed(rest.substr(0, comma));
        if (comma == std::string_view::npos) {
            break;
        }
        rest.remove_prefix(comma + 1);
    }
    if (count != 4) {
        why = QObject::tr("four fields separated by commas are needed, not %1").arg(count);
        return false;
    }

    const std::string_view baud = fields[0];
    long long rate = 0;
    const auto [end, error] = std::from_chars(baud.data(), baud.data() + baud.size(), rate);
    if (baud.empty() || error != std::errc() || end != baud.data() + baud.size() || rate < 1 ||
        rate > 4000000) {
        why = QObject::tr("the speed must be a number of baud from 1 to 4000000");
        return false;
    }
    settings.baudRate = static_cast<qint32>(rate);

    const std::string_view parity = fields[1];
    const char letter = parity.size() == 1 ? parity.front() : '?';
    switch (letter) {
    case 'N':
    case 'n':
        settings.parity = QSerialPort::NoParity;
        break;
    case 'E':
    case 'e':
        settings.parity = QSerialPort::EvenParity;
        break;
    case 'O':
    case 'o':
        settings.parity = QSerialPort::OddParity;
        break;
    case 'M':
    case 'm':
        settings.parity = QSerialPort::MarkParity;
        break;
    case 'S':
    case 's':
        settings.parity = QSerialPort::SpaceParity;
        break;
    default:
        why = QObject::tr("the parity must be N, E, O, M or S");
        return false;
    }

    const std::string_view data = fields[2];
    if (data.size() != 1 || data.front() < '5' || data.front() > '8') {
        why = QObject::tr("the data bits must be 5, 6, 7 or 8");
        return false;
    }
    settings.dataBits = static_cast<QSerialPort::DataBits>(data.front() - '0');

    // A UART sends 1.5 stop bits when it is asked for two with 5-bit characters, and the
    // terminal settings know only "one" or "two"; so 1.5 goes with 5 data bits and 2 with more.
    const std::string_view stop = fields[3];
    const bool fiveBits = settings.dataBits == QSerialPort::Data5;
    if (stop == "1") {
        settings.stopBits = QSerialPort::OneStop;
    } else if (stop == "1.5" && fiveBits) {
        settings.stopBits = QSerialPort::TwoStop;
    } else if (stop == "2" && !fiveBits) {
        settings.stopBits = QSerialPort::TwoStop;
    } else if (stop == "1.5") {
        why = QObject::tr("1.5 stop bits go only with 5 data bits");
        return false;
    } else if (stop == "2") {
        why = QObject::tr("2 stop bits need 6 or more data bits");
        return false;
    } else {
        why = QObject::tr("the stop bits must be 1, 1.5 or 2");
        return false;
    }
    return true;
}

/// The serial devices on this computer, for the hint when the chosen one is missing.
QStringList serialDevices()
{
    QStringList found;
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports) {
        found << info.systemLocation();
    }
    const QDir dev(QStringLiteral("/dev"));
    const QStringList adapters =
        dev.entryList({QStringLiteral("ttyUSB*"), QStringLiteral("ttyACM*")}, QDir::System);
    for (const QString &name : adapters) {
        found << dev.filePath(name);
    }
    found.removeDuplicates();
    found.sort();
    return found;
}

QString devicesHint()
{
    const QStringList devices = serialDevices();
    const QString list =
        devices.isEmpty() ? QObject::tr("none found") : devices.join(QStringLiteral(", "));
    return QObject::tr("Serial devices on this computer: %1. Start the program with "
                       "--port DEVICE to use another one.")
        .arg(list);
}

/// Whether this process may open `device` for reading (with its effective rights, as open()).
bool mayRead(const QString &device)
{
    const QByteArray path = QFile::encodeName(device);
    return ::faccessat(AT_FDCWD, path.constData(), R_OK, AT_EACCESS) == 0 || errno != EACCES;
}

} // namespace

SerialPortControl::SerialPortControl(const QString &port1Device, QObject *parent)
    : QObject(parent), m_port1Device(port1Device)
{
    connect(&m_port, &QSerialPort::readyRead, this, &SerialPortControl::onReadyRead);
    connect(&m_port, &QSerialPort::errorOccurred, this, &SerialPortControl::onErrorOccurred);
}

SerialPortControl::~SerialPortControl()
{
    OwnCall call(m_ownCalls);
    if (m_port.isOpen()) {
        m_port.close();
    }
}

QString SerialPortControl::deviceName() const
{
    if (m_commPort == 1) {
        return m_port1Device;
    }
    return QStringLiteral("/dev/ttyS%1").arg(m_commPort - 1);
}

bool SerialPortControl::setCommPort(int port)
{
    if (port < 1 || port > 256) {
        return refuse(tr("There is no serial port number %1; the ports are numbered from 1 to 256.")
                          .arg(port));
    }
    // An open port keeps its device; the choice counts from the next opening.
    m_commPort = port;
    return true;
}

bool SerialPortControl::setSettings(std::string_view settings)
{
    LineSettings parsed;
    QString why;
    if (!parseSettings(settings, parsed, why)) {
        return refuse(
            tr("The serial settings \"%1\" are not valid: %2. They are written "
               "\"baud,parity,data bits,stop bits\", for example \"9600,N,8,1\".")
                .arg(QString::fromUtf8(settings.data(), static_cast<qsizetype>(settings.size())),
                     why));
    }
    m_baudRate = parsed.baudRate;
    m_parity = parsed.parity;
    m_dataBits = parsed.dataBits;
    m_stopBits = parsed.stopBits;
    return applyLineSettings();
}

bool SerialPortControl::setPortOpen(bool open)
{
    OwnCall call(m_ownCalls);
    // Opening an open port is a fresh start: close it first.
    if (m_port.isOpen()) {
        m_port.close();
    }
    if (!open) {
        return true;
    }
    ++m_openings;
    m_openDevice = deviceName();
    m_port.setPortName(m_openDevice);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    m_port.setReadBufferSize(kReadBufferSize);
    applyLineSettings();
    // The program only listens to the board, so the port is opened for reading alone.
    if (!m_port.open(QIODevice::ReadOnly)) {
        m_errorText = openFailureText().toStdString();
        return false;
    }
    if (m_rtsEnable && !applyRts()) {
        m_port.close();
        return false;
    }
    return true;
}

bool SerialPortControl::portOpen() const
{
    return m_port.isOpen();
}

bool SerialPortControl::setRtsEnable(bool on)
{
    m_rtsEnable = on;
    if (!m_port.isOpen()) {
        return true;
    }
    return applyRts();
}

bool SerialPortControl::setRThreshold(int threshold)
{
    if (threshold < 0) {
        return refuse(tr("The receive threshold cannot be negative (%1).").arg(threshold));
    }
    // The run is told of arriving characters by dataWaiting() whatever the threshold.
    m_rThreshold = threshold;
    return true;
}

bool SerialPortControl::setInBufferCount(int count)
{
    if (count != 0) {
        return refuse(
            tr("The receive buffer can only be emptied (count 0), not set to %1.").arg(count));
    }
    if (!m_port.isOpen()) {
        return true;
    }
    OwnCall call(m_ownCalls);
    // Drops what waits in the driver and in the port's own buffer, then reads away anything
    // the port had taken in on the way.
    m_port.clear(QSerialPort::Input);
    m_port.skip(m_port.bytesAvailable());
    return true;
}

bool SerialPortControl::setInputLen(int length)
{
    if (length < 0) {
        return refuse(tr("The read length cannot be negative (%1).").arg(length));
    }
    m_inputLen = length;
    return true;
}

std::size_t SerialPortControl::inBufferCount()
{
    return m_port.isOpen() ? static_cast<std::size_t>(m_port.bytesAvailable()) : 0;
}

std::size_t SerialPortControl::input(char *buffer, std::size_t max)
{
    // The run reads in blocks and says how much it takes with `max`. The read length it sets in
    // its start sequence (one character) is kept for portability but not applied here: it would
    // turn every block read into one call per character.
    if (!m_port.isOpen() || max == 0) {
        return 0;
    }
    constexpr auto largest = static_cast<std::size_t>(std::numeric_limits<qint64>::max());
    const qint64 got = m_port.read(buffer, static_cast<qint64>(std::min(max, largest)));
    return got > 0 ? static_cast<std::size_t>(got) : 0;
}

std::string SerialPortControl::errorText() const
{
    return m_errorText;
}

bool SerialPortControl::applyLineSettings()
{
    OwnCall call(m_ownCalls);
    // While the port is closed these only store the values; the opening applies them.
    const bool ok = m_port.setBaudRate(m_baudRate) && m_port.setParity(m_parity) &&
                    m_port.setDataBits(m_dataBits) && m_port.setStopBits(m_stopBits);
    if (!ok) {
        m_errorText = tr("Cannot apply the serial settings to %1: %2.")
                          .arg(m_openDevice, m_port.errorString())
                          .toStdString();
    }
    return ok;
}

bool SerialPortControl::applyRts()
{
    OwnCall call(m_ownCalls);
    if (m_port.setRequestToSend(m_rtsEnable)) {
        return true;
    }
    if (m_port.error() == QSerialPort::UnsupportedOperationError) {
        // A line without modem control lines (a pseudo-terminal, some adapters) has no RTS to
        // set; the board does not need it there.
        m_port.clearError();
        return true;
    }
    m_errorText = tr("Cannot set the RTS line of %1: %2.")
                      .arg(m_openDevice, m_port.errorString())
                      .toStdString();
    return false;
}

void SerialPortControl::onReadyRead()
{
    if (m_port.bytesAvailable() > 0) {
        emit dataWaiting();
    } else if (lineHungUp()) {
        connectionLost(tr("the device hung up or was unplugged"));
    }
}

void SerialPortControl::onErrorOccurred(QSerialPort::SerialPortError error)
{
    // Errors of our own calls are answered by their return value and errorText().
    if (m_ownCalls > 0 || !m_port.isOpen() || error == QSerialPort::NoError ||
        error == QSerialPort::TimeoutError) {
        return;
    }
    // A line that hung up reads as end of file, which the port reports as a read error with
    // whatever system error was left over; say what really happened instead.
    connectionLost(lineHungUp() ? tr("the device hung up or was unplugged") : m_port.errorString());
}

void SerialPortControl::connectionLost(const QString &reason)
{
    const QString message = tr("The connection to %1 was lost (%2).").arg(m_openDevice, reason);
    m_errorText = message.toStdString();
    {
        OwnCall call(m_ownCalls);
        m_port.close();
    }
    // Reported from the event loop, so that the receiver may do anything with this object; a
    // fresh opening in between makes the report moot.
    const quint64 opening = m_openings;
    QMetaObject::invokeMethod(
        this,
        [this, opening, message] {
            if (opening == m_openings && !m_port.isOpen()) {
                emit failed(message);
            }
        },
        Qt::QueuedConnection);
}

bool SerialPortControl::lineHungUp() const
{
    const int fd = static_cast<int>(m_port.handle());
    if (!m_port.isOpen() || fd < 0) {
        return false;
    }
    pollfd pfd{fd, POLLIN, 0};
    return ::poll(&pfd, 1, 0) > 0 && (pfd.revents & (POLLHUP | POLLERR | POLLNVAL));
}

bool SerialPortControl::refuse(const QString &text)
{
    m_errorText = text.toStdString();
    return false;
}

QString SerialPortControl::openFailureText() const
{
    const QString &device = m_openDevice;
    switch (m_port.error()) {
    case QSerialPort::DeviceNotFoundError:
        return tr("Cannot open %1: the device does not exist. %2").arg(device, devicesHint());
    case QSerialPort::PermissionError:
        if (!mayRead(device)) {
            return tr("Cannot open %1: permission denied. Add your user to the \"dialout\" group "
                      "(sudo usermod -aG dialout $USER) and log in again.")
                .arg(device);
        }
        return tr("Cannot open %1: the device is busy; another program is using it. Close that "
                  "program and try again.")
            .arg(device);
    case QSerialPort::UnsupportedOperationError:
        return tr("Cannot open %1: it is not a serial port (%2). %3")
            .arg(device, m_port.errorString(), devicesHint());
    case QSerialPort::ResourceError:
        return tr("Cannot open %1: the device does not answer (%2); there may be no serial port "
                  "behind it. %3")
            .arg(device, m_port.errorString(), devicesHint());
    default:
        return tr("Cannot open %1: %2.").arg(device, m_port.errorString());
    }
}

} // namespace adc
