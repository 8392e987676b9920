#include "BoardLines.h"
#include "PortDiagnosis.h"
#include "PseudoTerminal.h"
#include "QtSerialControl.h"
#include "WithoutFileOverride.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QSerialPortInfo>
#include <QSignalSpy>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <string>
#include <thread>

namespace adc {
namespace {

using test::contains;
using test::PseudoTerminal;

/// A port on a fresh pseudo-terminal, opened as a run opens it.
class QtSerialControlFailure : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_pty.isOpen());
        ASSERT_TRUE(m_port.setLineSettings({}));
        ASSERT_TRUE(m_port.setPortOpen(true)) << m_port.errorText();
        ASSERT_TRUE(m_port.setRtsEnable(true)) << m_port.errorText();
        ASSERT_TRUE(m_port.setInBufferCount(0));
    }

    PseudoTerminal m_pty;
    QtSerialControl m_port{QString::fromStdString(m_pty.slavePath())};
};

TEST_F(QtSerialControlFailure, AVanishedDeviceFailsOnceAndGivesNoData)
{
    QSignalSpy failed(&m_port, &QtSerialControl::failed);
    QSignalSpy waiting(&m_port, &QtSerialControl::dataWaiting);
    ASSERT_TRUE(m_pty.write("PIC"));
    ASSERT_TRUE(waiting.wait(5000));
    char buffer[64];
    ASSERT_EQ(m_port.input(buffer, sizeof buffer), 3u);
    const int waitingBefore = waiting.count();

    m_pty.closeMaster();
    ASSERT_TRUE(failed.wait(5000));
    QTest::qWait(300);
    EXPECT_EQ(failed.count(), 1);
    EXPECT_EQ(waiting.count(), waitingBefore);
    EXPECT_FALSE(m_port.portOpen());
    EXPECT_EQ(m_port.inBufferCount(), 0u);
    EXPECT_EQ(m_port.input(buffer, sizeof buffer), 0u);

    const std::string message = failed.at(0).at(0).toString().toStdString();
    EXPECT_TRUE(contains(message, m_pty.slavePath())) << message;
    EXPECT_TRUE(contains(message, "connection")) << message;
    EXPECT_TRUE(contains(message, "lost")) << message;
    EXPECT_TRUE(contains(message, "hung up")) << message;
    EXPECT_TRUE(contains(message, "Plug the board back in and click Start again")) << message;
    EXPECT_EQ(m_port.errorText(), message);
}

TEST_F(QtSerialControlFailure, AVanishedDeviceWithUnreadBytesStillFailsOnce)
{
    QSignalSpy failed(&m_port, &QtSerialControl::failed);
    ASSERT_TRUE(m_pty.write("PIC 0:1"));
    ASSERT_TRUE(QTest::qWaitFor([this] { return m_port.inBufferCount() > 0; }, 5000));
    m_pty.closeMaster();
    ASSERT_TRUE(failed.wait(5000));
    QTest::qWait(300);
    EXPECT_EQ(failed.count(), 1);
    char buffer[64];
    EXPECT_EQ(m_port.input(buffer, sizeof buffer), 0u);
}

TEST_F(QtSerialControlFailure, ASecondReaderOnTheLineIsNoLossButAHangUpStillIs)
{
    QSignalSpy failed(&m_port, &QtSerialControl::failed);
    // Another program reads the same device (root may, lock or not) and often takes the bytes
    // before the port does, which then reads nothing where it was told to expect something.
    const int other = m_pty.slaveFd();
    ::fcntl(other, F_SETFL, ::fcntl(other, F_GETFL) | O_NONBLOCK);
    std::atomic<bool> stop{false};
    std::atomic<std::size_t> taken{0};
    std::thread secondReader([&] {
        char sink[256];
        while (!stop) {
            const ssize_t n = ::read(other, sink, sizeof sink);
            taken += n > 0 ? static_cast<std::size_t>(n) : 0;
        }
    });
    for (int i = 0; i < 300 && failed.isEmpty(); ++i) {
        m_pty.write("PIC 0:1\n");
        QTest::qWait(2);
    }
    stop = true;
    secondReader.join();
    QTest::qWait(100);
    ASSERT_GT(taken, 0u);
    EXPECT_EQ(failed.count(), 0) << failed.value(0).value(0).toString().toStdString();
    EXPECT_TRUE(m_port.portOpen());
    // The port goes on reading what comes next.
    QSignalSpy waiting(&m_port, &QtSerialControl::dataWaiting);
    ASSERT_TRUE(m_pty.write("PIC"));
    EXPECT_TRUE(waiting.wait(2000));
    EXPECT_GE(m_port.inBufferCount(), 3u);

    m_pty.closeMaster();
    ASSERT_TRUE(failed.wait(5000));
    QTest::qWait(300);
    EXPECT_EQ(failed.count(), 1);
    EXPECT_TRUE(contains(failed.at(0).at(0).toString().toStdString(), "hung up"));
}

TEST_F(QtSerialControlFailure, APortClosedByTheProgramDoesNotFail)
{
    QSignalSpy failed(&m_port, &QtSerialControl::failed);
    ASSERT_TRUE(m_port.setPortOpen(false));
    m_pty.closeMaster();
    QTest::qWait(300);
    EXPECT_EQ(failed.count(), 0);
}

TEST_F(QtSerialControlFailure, ABusyDeviceIsNamedAsBusy)
{
    QtSerialControl second(QString::fromStdString(m_pty.slavePath()));
    QSignalSpy failed(&second, &QtSerialControl::failed);
    EXPECT_FALSE(second.setPortOpen(true));
    EXPECT_FALSE(second.portOpen());
    // The lock file names the holder: this test program.
    const std::string text = second.errorText();
    EXPECT_TRUE(contains(text, m_pty.slavePath())) << text;
    EXPECT_TRUE(contains(text, "busy")) << text;
    EXPECT_TRUE(contains(text, "\"" + QCoreApplication::applicationName().toStdString() + "\""))
        << text;
    EXPECT_TRUE(contains(text, "process " + std::to_string(QCoreApplication::applicationPid())))
        << text;
    QTest::qWait(50);
    EXPECT_EQ(failed.count(), 0);
    EXPECT_TRUE(m_port.portOpen());
}

TEST(QtSerialControlOpen, AMissingDeviceIsNamedAndTheExistingOnesListed)
{
    const QString missing = QStringLiteral("/dev/ttyNoSuchBoard7");
    QtSerialControl port(missing);
    // The list is gathered in the background; a message before that has none.
    ASSERT_TRUE(QTest::qWaitFor([] { return PortDiagnosis::devices().has_value(); }, 10000));
    QSignalSpy failed(&port, &QtSerialControl::failed);
    ASSERT_TRUE(port.setLineSettings({}));
    EXPECT_FALSE(port.setPortOpen(true));
    EXPECT_FALSE(port.portOpen());

    const std::string text = port.errorText();
    EXPECT_TRUE(contains(text, missing.toStdString())) << text;
    EXPECT_TRUE(contains(text, "does not exist")) << text;
    EXPECT_TRUE(contains(text, "--port")) << text;
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    if (ports.isEmpty()) {
        EXPECT_TRUE(contains(text, "none found")) << text;
    }
    for (const QSerialPortInfo &info : ports) {
        EXPECT_TRUE(contains(text, info.systemLocation().toStdString())) << text;
    }
    QTest::qWait(50);
    EXPECT_EQ(failed.count(), 0);
}

/// The longest run of characters without a space in `text`: what a message box cannot wrap.
std::size_t longestWord(const std::string &text)
{
    std::size_t longest = 0;
    std::size_t run = 0;
    for (const char c : text) {
        run = c == ' ' ? 0 : run + 1;
        longest = std::max(longest, run);
    }
    return longest;
}

TEST(QtSerialControlOpen, OneDeviceIsOnePortWhateverItsName)
{
    PseudoTerminal pty;
    ASSERT_TRUE(pty.isOpen());
    QTemporaryDir dir;
    // Links to the line at a path of over 250 characters, and with a name that is not UTF-8.
    QByteArray deep = QFile::encodeName(dir.path());
    while (deep.size() < 250) {
        deep += "/" + QByteArray(60, 'd');
        ASSERT_EQ(::mkdir(deep.constData(), 0700), 0);
    }
    const QByteArray longLink = deep + "/board";
    const QByteArray oddLink = QFile::encodeName(dir.path()) + "/board\xff";
    ASSERT_EQ(::symlink(pty.slavePath().c_str(), longLink.constData()), 0);
    ASSERT_EQ(::symlink(pty.slavePath().c_str(), oddLink.constData()), 0);
    EXPECT_EQ(DeviceName::toBytes(DeviceName::fromBytes(oddLink)), oddLink);

    QtSerialControl first(DeviceName::fromBytes(longLink));
    ASSERT_TRUE(first.setPortOpen(true)) << first.errorText();
    QtSerialControl second(DeviceName::fromBytes(oddLink));
    EXPECT_FALSE(second.setPortOpen(true));
    EXPECT_TRUE(contains(second.errorText(), "busy")) << second.errorText();
    ASSERT_TRUE(first.setPortOpen(false));
    EXPECT_TRUE(second.setPortOpen(true)) << second.errorText();

    QtSerialControl missing(DeviceName::fromBytes(deep + "/gone"));
    EXPECT_FALSE(missing.setPortOpen(true));
    const std::string text = missing.errorText();
    EXPECT_TRUE(contains(text, "does not exist")) << text;
    EXPECT_TRUE(contains(text, "dddd/gone")) << text;
    EXPECT_LE(longestWord(text), 80u) << text;
}

TEST(QtSerialControlOpen, AStaleLockTheUserCannotRemoveIsNamedWithItsRemedy)
{
    PseudoTerminal pty;
    ASSERT_TRUE(pty.isOpen());
    const QString lock = QStringLiteral("/var/lock/LCK..") +
                         QString::fromStdString(pty.slavePath().substr(5)).replace('/', '_');
    // The lock of a program that ran as root and was killed: its process is gone.
    const pid_t gone = ::fork();
    if (gone == 0) {
        ::_exit(0);
    }
    ::waitpid(gone, nullptr, 0);
    QFile file(lock);
    if (::geteuid() != 0 || !file.open(QIODevice::WriteOnly)) {
        GTEST_SKIP() << "only root can leave a lock that another user cannot remove";
    }
    file.write(QStringLiteral("%1\nadconverter\n%2\n")
                   .arg(gone)
                   .arg(QSysInfo::machineHostName())
                   .toUtf8());
    file.close();
    ASSERT_EQ(::chmod(pty.slavePath().c_str(), 0666), 0);

    // An ordinary user (on this thread only) may open the device but not remove the lock.
    ::setfsuid(65534);
    QtSerialControl port(QString::fromStdString(pty.slavePath()));
    const bool opened = port.setPortOpen(true);
    ::setfsuid(0);
    QFile::remove(lock);
    EXPECT_FALSE(opened);
    const std::string text = port.errorText();
    EXPECT_TRUE(contains(text, lock.toStdString())) << text;
    EXPECT_TRUE(contains(text, "no longer runs")) << text;
    EXPECT_TRUE(contains(text, "sudo rm " + lock.toStdString())) << text;
}

TEST(QtSerialControlOpen, ADeviceWithoutPermissionNamesWhoMayReadItAndDialoutOnlyForItsGroup)
{
    PseudoTerminal pty;
    ASSERT_TRUE(pty.isOpen());
    const std::string path = pty.slavePath();
    const char *slave = path.c_str();
    ASSERT_EQ(::chmod(slave, 0), 0);
    QtSerialControl port(QString::fromStdString(pty.slavePath()));
    test::WithoutFileOverride unprivileged;

    const int probe = ::open(slave, O_RDONLY | O_NOCTTY | O_NONBLOCK);
    if (probe >= 0 || errno != EACCES) {
        if (probe >= 0) {
            ::close(probe);
        }
        GTEST_SKIP() << "this process can open a device without read permission";
    }

    // A terminal's group is not dialout: joining dialout would not help.
    const group *tty = ::getgrnam("tty");
    ASSERT_NE(tty, nullptr);
    ASSERT_EQ(::chown(slave, static_cast<uid_t>(-1), tty->gr_gid), 0);
    const passwd *owner = ::getpwuid(::geteuid());
    ASSERT_NE(owner, nullptr);
    const std::string ownerName = owner->pw_name;
    EXPECT_FALSE(port.setPortOpen(true));
    std::string text = port.errorText();
    EXPECT_TRUE(contains(text, pty.slavePath())) << text;
    EXPECT_TRUE(contains(text, "permission denied")) << text;
    EXPECT_TRUE(contains(text, "user " + ownerName + " and group tty, mode c---------")) << text;
    EXPECT_FALSE(contains(text, "dialout")) << text;

    const group *dialout = ::getgrnam("dialout");
    if (dialout == nullptr) {
        GTEST_SKIP() << "this system has no dialout group";
    }
    ASSERT_EQ(::chown(slave, static_cast<uid_t>(-1), dialout->gr_gid), 0);
    EXPECT_FALSE(port.setPortOpen(true));
    text = port.errorText();
    EXPECT_TRUE(contains(text, "group dialout")) << text;
    EXPECT_TRUE(contains(text, "usermod -aG dialout")) << text;
}

} // namespace
} // namespace adc
