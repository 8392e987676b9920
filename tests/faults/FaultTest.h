#pragma once

#include "BoardLines.h"
#include "LineFeeder.h"
#include "LivenessProbe.h"
#include "MainWindow.h"
#include "PseudoTerminal.h"
#include "WindowTestHelpers.h"

#include <QColor>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class QPushButton;

namespace adc::test {

/// File descriptors this process holds open now.
int openDescriptors();

/// The program's window on a board line that misbehaves.
///
/// The window's port is a symbolic link in a private folder, as udev names a USB adapter,
/// pointing to the slave side of a pseudo-terminal; the test plays the board on its master
/// side. A liveness probe runs in the event loop throughout.
class FaultTest : public ::testing::Test {
protected:
    /// Longest wait of the event loop allowed while a fault is fed.
    static constexpr qint64 kWorstGapMs = 200;

    void SetUp() override;
    void TearDown() override;

    /// The line behind the device name now.
    PseudoTerminal &line() { return *m_line; }
    /// The device name the window uses for port 1.
    QString devicePath() const;
    /// Points the device name at `target`, replacing the link in one step.
    void pointDeviceAt(const std::string &target);
    /// The adapter is unplugged: the device name goes away.
    void removeDevice();
    /// The adapter comes back on a fresh line behind the same name; the old line stays dead.
    PseudoTerminal &plugInNewLine();
    /// Closes what the test still holds of the lines that went dead.
    void releaseDeadLines() { m_deadLines.clear(); }

    void click(QPushButton *button);
    QString countText() const;
    /// Closes the failure message as the user does, with its OK button, and waits until gone.
    ::testing::AssertionResult dismissFailure();

    /// Runs the event loop until `condition` holds; a failure says `what` was awaited.
    ::testing::AssertionResult waitFor(const std::function<bool()> &condition, int timeoutMs,
                                       std::string_view what);
    /// Whether everything that reached the line has been read, worked on and shown.
    bool idle();
    /// Waits until everything sent has been taken in and shown, and then requires the counter
    /// box and the run to say `count`, and to stay there.
    ::testing::AssertionResult settle(std::int64_t count, int timeoutMs = 15000);
    /// Writes `pieces` into the line from a background thread while the event loop runs, then
    /// settles at `count`.
    ::testing::AssertionResult feed(std::vector<LineFeeder::Piece> pieces, std::int64_t count,
                                    int timeoutMs = 30000);
    /// Requires that the event loop never waited kWorstGapMs or longer and that resident memory
    /// rose by less than `memoryBoundKiB` since the probe's last rebase; prints what was seen.
    void expectHealthy(qint64 memoryBoundKiB);

    RunSession session;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<LivenessProbe> probe;

private:
    QTemporaryDir m_dir;
    std::unique_ptr<PseudoTerminal> m_line;
    std::vector<std::unique_ptr<PseudoTerminal>> m_deadLines;
};

/// A fault fed to a run of the INT mode, started before each test.
class IntRunFaultTest : public FaultTest {
protected:
    void SetUp() override
    {
        FaultTest::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        click(window->Command1);
        ASSERT_TRUE(session.port().portOpen()) << session.port().errorText();
    }
};

} // namespace adc::test
