#include "DemoBoard.h"
#include "BrokerPassword.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace adc {

namespace {

constexpr int kStartMilliseconds = 5000;
/// Restarts at most, so that a simulator that cannot run is not started again and again.
constexpr int kMostRestarts = 5;
const QString kSimulatorName = QStringLiteral("adc-board-sim");

} // namespace

DemoBoard::DemoBoard(QObject *parent) : QObject(parent)
{
    // What the simulator says on standard error stays out of the user's terminal: its closing
    // summary is about the simulated line, not the user's; a failure to start is told with it.
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    const pid_t program = ::getpid();
    m_process.setChildProcessModifier([program] {
        // Should the program die without ending the simulator, the system ends it; and should
        // it have died already, before the signal was armed, the simulator does not start.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != program) {
            ::_exit(1);
        }
        // Ctrl+C in the terminal reaches the program alone, which then ends the simulator.
        setpgid(0, 0);
    });
    // The simulator needs no secret of the program's: the broker's password stays here.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QLatin1String(BrokerPassword::kVariable));
    m_process.setProcessEnvironment(environment);
    connect(&m_process, &QProcess::finished, this, &DemoBoard::simulatorEnded);
}

DemoBoard::~DemoBoard()
{
    stop();
    release();
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
    QStringList lines{QStringLiteral("--mode"), QStringLiteral("both")};
    if (m_format != Format::Board) {
        lines = {QStringLiteral("--format"), QString::fromUtf8(formatOptionName(m_format))};
        if (m_channels > 0) {
            lines << QStringLiteral("--channels") << QString::number(m_channels);
        }
    }
    m_process.start(program,
                    lines + QStringList{QStringLiteral("--baud"), QString::number(m_baud)});
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
        m_process.waitForFinished(100);
        const QString said = QString::fromLocal8Bit(m_process.readAllStandardError()).trimmed();
        m_errorText =
            said.isEmpty()
                ? tr("The board simulator %1 did not open its line.").arg(program)
                : tr("The board simulator %1 did not open its line: %2").arg(program, said);
        stop();
        return false;
    }
    m_device = device;
    release();
    m_held = ::open(QFile::encodeName(device).constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    return true;
}

void DemoBoard::stop()
{
    m_device.clear();
    if (m_process.state() == QProcess::NotRunning) {
        return;
    }
    m_stopping = true;
    m_process.terminate();
    if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished(1000);
    }
    m_stopping = false;
}

void DemoBoard::simulatorEnded()
{
    if (m_stopping || m_process.state() != QProcess::NotRunning) {
        return;
    }
    // The simulator died on its own: the demo brings it back rather than leave port 1 naming a
    // line that the system may soon give to another terminal.
    if (++m_restarts <= kMostRestarts && start()) {
        emit restarted(m_device);
        return;
    }
    std::fprintf(stderr, "adconverter: the simulated board has stopped. %s\n",
                 qPrintable(m_errorText));
}

void DemoBoard::release()
{
    if (m_held >= 0) {
        ::close(m_held);
        m_held = -1;
    }
}

qint64 DemoBoard::processId() const
{
    return m_process.state() == QProcess::NotRunning ? 0 : m_process.processId();
}

} // namespace adc
