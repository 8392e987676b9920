#include "DemoBoard.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QStandardPaths>

#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

namespace adc {

namespace {

constexpr int kStartMilliseconds = 5000;
const QString kSimulatorName = QStringLiteral("adc-board-sim");

} // namespace

DemoBoard::DemoBoard(QObject *parent) : QObject(parent)
{
    // The simulator's closing summary goes where the program's own messages go.
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.setChildProcessModifier([] {
        // Should the program die without ending the simulator, the system ends it.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        // Ctrl+C in the terminal reaches the program alone, which then ends the simulator.
        setpgid(0, 0);
    });
}

DemoBoard::~DemoBoard()
{
    stop();
}

QString DemoBoard::simulatorProgram()
{
    const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath(kSimulatorName);
    if (QFileInfo(beside).isExecutable()) {
        return beside;
    }
    return QStandardPaths::findExecutable(kSimulatorName);
}

bool DemoBoard::start()
{
    stop();
    const QString program = simulatorProgram();
    if (program.isEmpty()) {
        m_errorText = tr("The board simulator %1 was not found beside the program or on the PATH.")
                          .arg(kSimulatorName);
        return false;
    }
    m_process.start(program, {QStringLiteral("--mode"), QStringLiteral("both"),
                              QStringLiteral("--baud"), QStringLiteral("9600")});
    if (!m_process.waitForStarted(kStartMilliseconds)) {
        m_errorText =
            tr("Cannot start the board simulator %1: %2.").arg(program, m_process.errorString());
        return false;
    }
    // The simulator's first line is the device its line can be opened at.
    QElapsedTimer waited;
    waited.start();
    while (!m_process.canReadLine() && waited.elapsed() < kStartMilliseconds &&
           m_process.state() == QProcess::Running) {
        m_process.waitForReadyRead(static_cast<int>(kStartMilliseconds - waited.elapsed()));
    }
    const QString device = QString::fromLocal8Bit(m_process.readLine()).trimmed();
    if (device.isEmpty()) {
        m_errorText = tr("The board simulator %1 did not open its line.").arg(program);
        stop();
        return false;
    }
    m_device = device;
    return true;
}

void DemoBoard::stop()
{
    m_device.clear();
    if (m_process.state() == QProcess::NotRunning) {
        return;
    }
    m_process.terminate();
    if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished(1000);
    }
}

qint64 DemoBoard::processId() const
{
    return m_process.state() == QProcess::NotRunning ? 0 : m_process.processId();
}

} // namespace adc
