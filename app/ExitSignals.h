#pragma once

#include <QObject>

#include <csignal>

class QSocketNotifier;

namespace adc {

/// Turns SIGINT, SIGTERM and SIGHUP into a Qt signal delivered by the event loop (self-pipe +
/// QSocketNotifier), so that the program can end the way EXIT does.
class ExitSignals : public QObject {
    Q_OBJECT

public:
    explicit ExitSignals(QObject *parent = nullptr); ///< installs the handlers
    ~ExitSignals() override;                         ///< restores the defaults

signals:
    void received(int signalNumber);

private:
    void readPipe();

    QSocketNotifier *m_notifier = nullptr;
    struct sigaction m_saved[3] = {};
};

} // namespace adc
