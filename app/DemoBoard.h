#pragma once

#include "LineSettings.h"
#include "ModeTable.h"

#include <QObject>
#include <QProcess>
#include <QString>

namespace adc {

/// The simulated board behind `adconverter --demo`: the board simulator run as a child
/// process on a pseudo-terminal of its own, at the pace of a line of setBaud() (kDefaultBaud
/// unless set), sending INT and MCP records in turn so that either Start button shows data, or
/// the lines of a board that prints text (setFormat()).
///
/// The simulator ends with this object, and also with the program if the program dies first.
/// Should it die on its own, it is started again on a new line and restarted() tells where;
/// until then the old line's number stays taken, so that no other terminal can get it.
class DemoBoard : public QObject {
    Q_OBJECT

public:
    explicit DemoBoard(QObject *parent = nullptr);
    ~DemoBoard() override;

    /// The pace of the simulated line from the next start() on (--baud).
    void setBaud(qint32 baud) { m_baud = baud; }
    /// What the simulated board prints from the next start() on (--format).
    void setFormat(Format format) { m_format = format; }
    /// How many channels its lines carry (0: the simulator's own count).
    void setChannels(int channels) { m_channels = channels; }
    /// Starts the simulator and waits (a few seconds at most) for its line to be ready.
    /// Returns false, with errorText() telling why, when it cannot be started.
    bool start();
    /// Ends the simulator (its line goes away with it).
    void stop();

    /// The device to use as serial port 1 while the simulator runs.
    QString port1Device() const { return m_device; }
    /// The simulator's process id while it runs, 0 otherwise.
    qint64 processId() const;
    /// Why start() failed.
    QString errorText() const { return m_errorText; }

    /// Where the simulator is looked for: beside the program, then on the PATH.
    static QString simulatorProgram();

signals:
    /// The simulator died on its own and runs again; `device` is port 1 from now on.
    void restarted(const QString &device);

private:
    void simulatorEnded();
    void release();

    QProcess m_process;
    QString m_device;
    QString m_errorText;
    /// This object's own descriptor on the simulator's line, which keeps the line's number.
    int m_held = -1;
    int m_restarts = 0;
    qint32 m_baud = kDefaultBaud;
    Format m_format = Format::Board;
    int m_channels = 0;
    bool m_stopping = false;
};

} // namespace adc
