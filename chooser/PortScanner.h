#pragma once

#include "PortList.h"

#include <QFileSystemWatcher>
#include <QFutureWatcher>
#include <QList>
#include <QObject>

namespace adc {

/// The serial ports of this computer for the start dialog and the window's menu, looked for in
/// the background: Qt opens every on-board port to see whether it is real, which would hold the
/// window up. Once scan() has been called, a device added to or removed from /dev (an adapter
/// plugged in or out) brings a fresh scan by itself.
class PortScanner : public QObject {
    Q_OBJECT

public:
    /// `devices` is the folder watched for adapters coming and going.
    explicit PortScanner(const QString &devices = QStringLiteral("/dev"),
                         QObject *parent = nullptr);
    ~PortScanner() override;

    /// Starts a scan in the background; while one runs, another follows it.
    void scan();
    /// The ports found by the last scan that ended.
    const QList<PortList::Port> &ports() const { return m_ports; }
    /// Whether any scan has ended yet.
    bool hasScanned() const { return m_scans > 0; }
    /// Scans that have ended.
    int scans() const { return m_scans; }

signals:
    /// A scan has ended; ports() holds what it found.
    void scanned();

private:
    void finished();

    QString m_devices;
    QFileSystemWatcher m_watcher;
    QFutureWatcher<QList<PortList::Port>> m_future;
    QList<PortList::Port> m_ports;
    int m_scans = 0;
    bool m_again = false;
};

} // namespace adc
