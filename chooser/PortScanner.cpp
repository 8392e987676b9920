#include "PortScanner.h"

#include <QtConcurrent/QtConcurrentRun>

namespace adc {

PortScanner::PortScanner(const QString &devices, QObject *parent)
    : QObject(parent), m_devices(devices)
{
    connect(&m_future, &QFutureWatcher<QList<PortList::Port>>::finished, this,
            &PortScanner::finished);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &PortScanner::scan);
}

PortScanner::~PortScanner()
{
    // A scan still going is left to end in the background; nobody hears of it.
    m_future.disconnect(this);
}

void PortScanner::scan()
{
    if (m_watcher.directories().isEmpty()) {
        m_watcher.addPath(m_devices);
    }
    if (m_future.isRunning()) {
        m_again = true;
        return;
    }
    m_future.setFuture(QtConcurrent::run(&PortList::available));
}

void PortScanner::finished()
{
    m_ports = m_future.result();
    ++m_scans;
    emit scanned();
    if (m_again) {
        m_again = false;
        scan();
    }
}

} // namespace adc
