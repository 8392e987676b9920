#pragma once

#include "SerialControl.h"

#include <QObject>
#include <QSerialPort>
#include <QString>

#include <string>

namespace adc {

/// The board's serial port over QSerialPort, with the fixed settings and plain error texts.
///
/// Port 1 is the device given to the constructor (by default /dev/ttyS0). A device without an
/// RTS line, such as a pseudo-terminal, is not an error.
class SerialPortControl : public QObject, public SerialControl {
    Q_OBJECT

public:
    /// Received bytes held at most; past this the line holds the board back until the run reads,
    /// so memory stays bounded and nothing is lost.
    static constexpr qint64 kReadBufferSize = 1024 * 1024;

    explicit SerialPortControl(const QString &port1Device = QStringLiteral("/dev/ttyS0"),
                               QObject *parent = nullptr);
    ~SerialPortControl() override;

    /// The device that stands for port 1.
    QString port1Device() const { return m_port1Device; }
    /// The device the next open uses (chosen by setCommPort()).
    QString deviceName() const;

    bool setCommPort(int port) override;
    bool setSettings(std::string_view settings) override;
    bool setPortOpen(bool open) override;
    bool portOpen() const override;
    bool setRtsEnable(bool on) override;
    bool setRThreshold(int threshold) override;
    bool setInBufferCount(int count) override;
    bool setInputLen(int length) override;
    std::size_t inBufferCount() override;
    std::size_t input(char *buffer, std::size_t max) override;
    std::string errorText() const override;

signals:
    /// Characters have arrived and wait to be read.
    void dataWaiting();
    /// The open port failed (the device vanished, an I/O error); `message` is for the user.
    /// Emitted once per failure; the port is closed by then.
    void failed(const QString &message);

private:
    bool applyLineSettings();
    bool applyRts();
    void onReadyRead();
    void onErrorOccurred(QSerialPort::SerialPortError error);
    void connectionLost(const QString &reason);
    bool lineHungUp() const;
    bool refuse(const QString &text);
    QString openFailureText() const;

    QSerialPort m_port;
    QString m_port1Device;
    QString m_openDevice;
    std::string m_errorText;
    int m_commPort = 1;
    qint32 m_baudRate = 9600;
    QSerialPort::Parity m_parity = QSerialPort::NoParity;
    QSerialPort::DataBits m_dataBits = QSerialPort::Data8;
    QSerialPort::StopBits m_stopBits = QSerialPort::OneStop;
    bool m_rtsEnable = false;
    int m_rThreshold = 0;
    int m_inputLen = 0;
    /// Depth of our own calls into the port; errors raised there are answered by return value.
    int m_ownCalls = 0;
    /// Counts the openings, so that a failure report does not outlive a fresh start.
    quint64 m_openings = 0;
};

} // namespace adc
