#include "QtSerialControl.h"
#include "PortDiagnosis.h"
#include "SerialMessages.h"

#include <QFile>
#include <QMetaObject>
#include <QScopedValueRollback>

#include <asm/termbits.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <poll.h>
#include <system_error>

namespace adc {

namespace {

/// The speed a port is opened at; another one is set once it is open, where a device that
/// refuses it can be told apart from one that cannot be opened.
constexpr qint32 kOpeningBaud = kDefaultBaud;

/// The device file `device` leads to, symbolic links resolved.
std::string realPathOf(const QString &device, std::error_code &error)
{
    const QByteArray bytes = DeviceName::filePath(device);
    return std::filesystem::canonical(std::string(bytes.constData(), bytes.size()), error).native();
}

bool isMissing(const std::error_code &error)
{
    return error == std::errc::no_such_file_or_directory || error == std::errc::not_a_directory;
}

} // namespace

QString QtSerialControl::unusableReason(const QString &device)
{
    std::error_code error;
    const std::string real = realPathOf(device, error);
    if (error) {
        return isMissing(error)
                   ? SerialMessages::missing(device, SerialMessages::Choice::DeviceList)
                   : SerialMessages::openFailed(device, device, QSerialPort::UnknownError,
                                                QString::fromStdString(error.message()));
    }
    return SerialMessages::unavailable(device,
                                       DeviceName::fromBytes(QByteArray::fromStdString(real)));
}

QtSerialControl::QtSerialControl(const QString &port1Device, QObject *parent)
    : QObject(parent), m_port1Device(port1Device)
{
    connect(&m_port, &QSerialPort::readyRead, this, &QtSerialControl::onReadyRead);
    connect(&m_port, &QSerialPort::errorOccurred, this, &QtSerialControl::onErrorOccurred);
    // The hint of a message about a missing device lists the devices there are.
    PortDiagnosis::refresh();
}

QtSerialControl::~QtSerialControl()
{
    const QScopedValueRollback call(m_ownCalls, m_ownCalls + 1);
    if (m_port.isOpen()) {
        m_port.close();
    }
}

bool QtSerialControl::setLineSettings(const LineSettings &settings)
{
    if (!LineSettings::validBaud(settings.baud)) {
        return refuse(SerialMessages::speedRefused(m_port1Device, settings.baud,
                                                   SerialMessages::speedOutOfRange()));
    }
    if (!applyLineSettings(settings.baud)) {
        return false;
    }
    m_baudRate = settings.baud;
    return true;
}

bool QtSerialControl::setPortOpen(bool open)
{
    const QScopedValueRollback call(m_ownCalls, m_ownCalls + 1);
    // Opening an open port is a fresh start: close it first.
    if (m_port.isOpen()) {
        m_port.close();
    }
    if (!open) {
        return true;
    }
    ++m_openings;
    m_openDevice = m_port1Device;
    if (!this->open()) {
        return false;
    }
    if (m_rtsEnable && !applyRts()) {
        m_port.close();
        return false;
    }
    return true;
}

bool QtSerialControl::open()
{
    // The device is opened and locked under its real name: another name of it (a link, as udev
    // makes) then finds it locked, and the lock file's name stays short however long the path.
    std::error_code error;
    const std::string real = realPathOf(m_openDevice, error);
    if (error) {
        return refuse(isMissing(error) ? SerialMessages::missing(m_openDevice)
                                       : SerialMessages::openFailed(
                                             m_openDevice, m_openDevice, QSerialPort::UnknownError,
                                             QString::fromStdString(error.message())));
    }
    const QString realName = QFile::decodeName(QByteArray::fromStdString(real));
    if (QFile::encodeName(realName).toStdString() != real) {
        return refuse(SerialMessages::unnamable(
            m_openDevice, DeviceName::fromBytes(QByteArray::fromStdString(real))));
    }
    m_port.setPortName(realName);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    m_port.setReadBufferSize(kReadBufferSize);
    applyLineSettings(kOpeningBaud);
    // Writing is for what the user sends; a device this user may only read is opened for
    // reading alone, as the board needs nothing sent to it.
    const bool writable = ::faccessat(AT_FDCWD, real.c_str(), W_OK, AT_EACCESS) == 0;
    if (!m_port.open(writable ? QIODevice::ReadWrite : QIODevice::ReadOnly)) {
        return refuse(SerialMessages::openFailed(m_openDevice, realName, m_port.error(),
                                                 m_port.errorString()));
    }
    if (m_baudRate != kOpeningBaud && !applyLineSettings(m_baudRate)) {
        m_port.close();
        return false;
    }
    return true;
}

qint32 QtSerialControl::lineSpeed() const
{
    // The kernel keeps the speed as a number beside the old speed codes, for every rate.
    termios2 settings{};
    const int fd = static_cast<int>(m_port.handle());
    if (!m_port.isOpen() || fd < 0 || ::ioctl(fd, TCGETS2, &settings) != 0) {
        return 0;
    }
    return static_cast<qint32>(settings.c_ospeed);
}

bool QtSerialControl::portOpen() const
{
    return m_port.isOpen();
}

bool QtSerialControl::setRtsEnable(bool on)
{
    m_rtsEnable = on;
    return !m_port.isOpen() || applyRts();
}

bool QtSerialControl::setInBufferCount(int count)
{
    if (count != 0) {
        return refuse(SerialMessages::inBufferCountRefused(count));
    }
    if (!m_port.isOpen()) {
        return true;
    }
    const QScopedValueRollback call(m_ownCalls, m_ownCalls + 1);
    // Drops what waits in the driver and in the port's own buffer, then reads away anything
    // the port had taken in on the way.
    m_port.clear(QSerialPort::Input);
    m_port.skip(m_port.bytesAvailable());
    return true;
}

std::size_t QtSerialControl::inBufferCount()
{
    return m_port.isOpen() ? static_cast<std::size_t>(m_port.bytesAvailable()) : 0;
}

std::size_t QtSerialControl::input(char *buffer, std::size_t max)
{
    if (!m_port.isOpen() || max == 0) {
        return 0;
    }
    constexpr auto largest = static_cast<std::size_t>(std::numeric_limits<qint64>::max());
    const qint64 got = m_port.read(buffer, static_cast<qint64>(std::min(max, largest)));
    return got > 0 ? static_cast<std::size_t>(got) : 0;
}

bool QtSerialControl::write(std::string_view bytes)
{
    if (!m_port.isOpen()) {
        return refuse(SerialMessages::notOpenForSending());
    }
    if (!m_port.isWritable()) {
        return refuse(SerialMessages::writeFailed(m_openDevice, SerialMessages::readOnly()));
    }
    if (const qint64 waiting = m_port.bytesToWrite(); waiting > kMaxWriteBehind) {
        return refuse(SerialMessages::sendingBehind(waiting));
    }
    const QScopedValueRollback call(m_ownCalls, m_ownCalls + 1);
    const auto size = static_cast<qint64>(bytes.size());
    if (m_port.write(bytes.data(), size) != size) {
        return refuse(SerialMessages::writeFailed(m_openDevice, m_port.errorString()));
    }
    // As much as the line takes now, without waiting; the rest goes from the event loop.
    m_port.flush();
    return true;
}

std::string QtSerialControl::errorText() const
{
    return m_errorText;
}

bool QtSerialControl::applyLineSettings(qint32 rate)
{
    const QScopedValueRollback call(m_ownCalls, m_ownCalls + 1);
    // While the port is closed these only store the values; the opening applies them.
    if (!m_port.setBaudRate(rate)) {
        return refuse(SerialMessages::speedRefused(m_openDevice, rate, m_port.errorString()));
    }
    // A device that cannot run at a speed often takes another one without a word; what it
    // runs at is read back. A few per cent is what a UART's divisor may be off by.
    if (const qint32 real = lineSpeed(); real > 0 && std::abs(real - rate) > rate / 50) {
        return refuse(
            SerialMessages::speedRefused(m_openDevice, rate, SerialMessages::speedReplaced(real)));
    }
    const bool ok = m_port.setParity(QSerialPort::NoParity) &&
                    m_port.setDataBits(QSerialPort::Data8) &&
                    m_port.setStopBits(QSerialPort::OneStop);
    return ok || refuse(SerialMessages::lineSettingsFailed(m_openDevice, m_port.errorString()));
}

bool QtSerialControl::applyRts()
{
    const QScopedValueRollback call(m_ownCalls, m_ownCalls + 1);
    if (m_port.setRequestToSend(m_rtsEnable)) {
        return true;
    }
    if (m_port.error() == QSerialPort::UnsupportedOperationError) {
        // A line without modem control lines (a pseudo-terminal, some adapters) has no RTS to
        // set; the board does not need it there.
        m_port.clearError();
        return true;
    }
    return refuse(SerialMessages::rtsFailed(m_openDevice, m_port.errorString()));
}

void QtSerialControl::onReadyRead()
{
    if (m_port.bytesAvailable() > 0) {
        emit dataWaiting();
    } else if (lineHungUp()) {
        connectionLost();
    }
}

void QtSerialControl::onErrorOccurred(QSerialPort::SerialPortError error)
{
    // Errors of our own calls are answered by their return value and errorText().
    if (m_ownCalls > 0 || !m_port.isOpen() || error == QSerialPort::NoError ||
        error == QSerialPort::TimeoutError) {
        return;
    }
    // A read fails with whatever system error was left over both when the line hung up and
    // when another reader of the device (a modem probe, "sudo cat") took the bytes first. Only
    // the first is a loss; the line is still there in the second.
    if (lineHungUp()) {
        connectionLost();
        return;
    }
    m_port.clearError();
    // The port stops listening after such an error; setting its buffer size starts it again.
    m_port.setReadBufferSize(kReadBufferSize);
}

void QtSerialControl::connectionLost()
{
    const QString message = SerialMessages::connectionLost(m_openDevice, SerialMessages::hungUp());
    m_errorText = message.toStdString();
    {
        const QScopedValueRollback call(m_ownCalls, m_ownCalls + 1);
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

bool QtSerialControl::lineHungUp() const
{
    const int fd = static_cast<int>(m_port.handle());
    if (!m_port.isOpen() || fd < 0) {
        return false;
    }
    pollfd pfd{fd, POLLIN, 0};
    return ::poll(&pfd, 1, 0) > 0 && (pfd.revents & (POLLHUP | POLLERR | POLLNVAL));
}

bool QtSerialControl::refuse(const QString &text)
{
    m_errorText = text.toStdString();
    return false;
}

} // namespace adc
