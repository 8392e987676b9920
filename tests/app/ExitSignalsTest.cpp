#include "ExitSignals.h"
#include "MainWindow.h"
#include "PseudoTerminal.h"
#include "WindowTestHelpers.h"

#include <QFile>

#include <gtest/gtest.h>

#include <csignal>

namespace adc {
namespace {

TEST(ExitSignals, EndTheProgramAsExitDoesAndReleaseThePortsLock)
{
    for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signalNumber);
        test::PseudoTerminal pty;
        ASSERT_TRUE(pty.isOpen());
        // The lock file Qt keeps for the device while it is open ("/dev/pts/3": "LCK..pts_3").
        const QString lock = QStringLiteral("/var/lock/LCK..") +
                             QString::fromStdString(pty.slavePath().substr(5)).replace('/', '_');
        RunSession session;
        session.setDevice(QString::fromStdString(pty.slavePath()));
        MainWindow window(session);
        ExitSignals exitSignals;
        QObject::connect(&exitSignals, &ExitSignals::received, &window, &QWidget::close);
        window.show();
        window.Command1->click();
        ASSERT_TRUE(session.port().portOpen()) << session.port().errorText();
        ASSERT_TRUE(QFile::exists(lock)) << lock.toStdString();

        ::raise(signalNumber);
        ASSERT_TRUE(test::waitUntil([&] { return window.isUnloaded(); }));
        EXPECT_FALSE(session.port().portOpen());
        EXPECT_FALSE(QFile::exists(lock)) << lock.toStdString();
    }
}

} // namespace
} // namespace adc
