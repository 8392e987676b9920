#pragma once

#include "DeviceName.h"
#include "SerialControl.h"

#include <QObject>
#include <QSerialPort>
#include <QString>

#include <string>

namespace adc {

/// The board's serial port over QSerialPort: port 1 only, the fixed line N,8,1 at any speed the
/// device takes, reads in blocks and plain error texts (SerialMessages).
///
/// Port 1 is the device given to the constructor (by default /dev/ttyS0). It is opened and locked
/// under its real name, symbolic links resolved, so that two names of one device are one port.
/// A device without an RTS line, such as a pseudo-terminal, is not an error.
class QtSerialControl : public QObject, public SerialControl {
    Q_OBJECT

public:
    /// Received bytes held at most; past this the line holds the board back until the run reads,
    /// so memory stays bounded and nothing is lost.
    static constexpr qint64 kReadBufferSize = 1024 * 1024;

    /// `port1Device` is a file name as DeviceName::fromBytes() gives it.
    explicit QtSerialControl(const QString &port1Device = QString::fromLatin1(kDefaultPort1Device),
                             QObject *parent = nullptr);
    ~QtSerialControl() override;

    /// Why `device` cannot be opened as it stands, found without opening it: it is missing, may
    /// not be read, or another program holds its lock; the texts of a failed opening, for the
    /// start dialog (another device is chosen in its Device list). Empty when nothing speaks
    /// against it.
    static QString unusableReason(const QString &device);

    /// The device that stands for port 1.
    QString port1Device() const { return m_port1Device; }
    /// Makes `device` port 1 from the next opening on (an open port keeps its device).
    void setPort1Device(const QString &device) { m_port1Device = device; }

    bool setLineSettings(const LineSettings &settings) override;
    bool setPortOpen(bool open) override;
    bool portOpen() const override;
    bool setRtsEnable(bool on) override;
    bool setInBufferCount(int count) override;
    std::size_t inBufferCount() override;
    std::size_t input(char *buffer, std::size_t max) override;
    /// Queues `bytes` for the open port; refused while the port is closed or while more than
    /// kMaxWriteBehind bytes sent before still wait to go out.
    bool write(std::string_view bytes) override;
    std::string errorText() const override;

    /// Bytes sent that may wait to go out at most before a further write is refused.
    static constexpr qint64 kMaxWriteBehind = 64 * 1024;

    /// The speed the open line runs at, read back from the device; 0 while closed.
    qint32 lineSpeed() const;

signals:
    /// Characters have arrived and wait to be read.
    void dataWaiting();
    /// The open port was lost (the device hung up or vanished); `message` is for the user.
    /// Emitted once per loss; the port is closed by then.
    void failed(const QString &message);

private:
    bool open();
    bool applyLineSettings(qint32 rate);
    bool applyRts();
    void onReadyRead();
    void onErrorOccurred(QSerialPort::SerialPortError error);
    void connectionLost();
    bool lineHungUp() const;
    bool refuse(const QString &text);

    QSerialPort m_port;
    QString m_port1Device;
    /// The name port 1 had when it was opened, for the messages.
    QString m_openDevice;
    std::string m_errorText;
    qint32 m_baudRate = kDefaultBaud;
    bool m_rtsEnable = false;
    /// Depth of our own calls into the port; errors raised there are answered by return value.
    int m_ownCalls = 0;
    /// Counts the openings, so that a failure report does not outlive a fresh start.
    quint64 m_openings = 0;
};

} // namespace adc
