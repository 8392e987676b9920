#include "StartDialog.h"
#include "MainWindow.h"
#include "PortDiagnosis.h"
#include "PortScanner.h"
#include "PseudoTerminal.h"
#include "WindowMenu.h"
#include "WindowRecording.h"
#include "WindowTestHelpers.h"
#include "WithoutFileOverride.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace adc {
namespace {

QString slavePath(const test::PseudoTerminal &pty)
{
    return QString::fromStdString(pty.slavePath());
}

void clickOk(StartDialog &dialog)
{
    dialog.buttons->button(QDialogButtonBox::Ok)->click();
}

TEST(StartDialog, ListsTheDeviceAndStartsTheChosenRunAtTheChosenSpeed)
{
    test::PseudoTerminal pty;
    ASSERT_TRUE(pty.isOpen());
    PortScanner scanner;
    StartSettings remembered;
    remembered.device = slavePath(pty);
    StartDialog dialog(remembered, scanner);
    dialog.show();
    // The list holds the device beside the ports found, the simulated board and another device.
    const int entry = dialog.device->findData(slavePath(pty));
    ASSERT_GE(entry, 0);
    EXPECT_GE(dialog.device->findData(QString::fromLatin1(StartDialog::kSimulatedEntry)), 0);
    EXPECT_TRUE(test::waitUntil([&] { return scanner.hasScanned(); }));
    EXPECT_EQ(dialog.device->currentData().toString(), slavePath(pty))
        << "a scan keeps the device listed and chosen";

    dialog.speed->setCurrentText(QStringLiteral("57600"));
    dialog.mode->setCurrentIndex(2);
    clickOk(dialog);
    ASSERT_EQ(dialog.result(), QDialog::Accepted) << dialog.warning->text().toStdString();
    const StartSettings chosen = dialog.choices();

    // What the program does with the choices: the window on the device, the run started.
    RunSession session;
    session.setDevice(chosen.device);
    session.setLineSettings(chosen.line());
    MainWindow window(session);
    WindowRecording recording(session, window);
    WindowMenu menu(window, session, recording, scanner, chosen);
    window.show();
    menu.startChosenRun();
    ASSERT_NE(window.run(), nullptr);
    ASSERT_TRUE(window.run()->running()) << session.port().errorText();
    EXPECT_EQ(window.run()->mode(), Mode::Mcp3201);
    EXPECT_EQ(pty.lineSettings().baud, 57600);
    ASSERT_TRUE(pty.write("MCP 0:100 1:200\n"));
    EXPECT_TRUE(test::waitUntil([&] { return window.run()->count() == 1; }));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("AD Converter"));
}

TEST(StartDialog, SaysWhyTheDeviceCannotBeOpenedBeforeTheWindowOpens)
{
    QTemporaryDir folder;
    PortScanner scanner;
    StartSettings remembered;
    remembered.device = folder.filePath(QStringLiteral("ttyUSB9"));
    StartDialog dialog(remembered, scanner);
    dialog.show();
    // The dialog has the devices gathered in the background; nothing waits for them.
    ASSERT_TRUE(test::waitUntil([] { return PortDiagnosis::devices().has_value(); }));
    clickOk(dialog);
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    ASSERT_TRUE(dialog.warning->isVisible());
    // The same hints as the message of a failed Start, but about the dialog's own controls,
    // and every line of it in view.
    EXPECT_TRUE(dialog.warning->text().contains(QStringLiteral("does not exist")));
    EXPECT_TRUE(dialog.warning->text().contains(QStringLiteral("Serial devices on this computer")));
    EXPECT_TRUE(dialog.warning->text().contains(QStringLiteral("Device list")));
    EXPECT_FALSE(dialog.warning->text().contains(QStringLiteral("--port")));
    EXPECT_GE(dialog.warning->height(), dialog.warning->heightForWidth(dialog.warning->width()));
    EXPECT_TRUE(dialog.rect().contains(dialog.warning->geometry()));

    // Once there but not to be read, it is told anew (root is held to the file's modes as any
    // user).
    QFile device(remembered.device);
    ASSERT_TRUE(device.open(QIODevice::WriteOnly));
    device.setPermissions(QFileDevice::WriteOwner);
    {
        const test::WithoutFileOverride asAnyUser;
        clickOk(dialog);
        EXPECT_NE(dialog.result(), QDialog::Accepted);
        EXPECT_TRUE(dialog.warning->text().contains(QStringLiteral("permission denied")))
            << dialog.warning->text().toStdString();
        // Told once, OK goes on all the same.
        clickOk(dialog);
    }
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST(PortScanner, ScansAgainWhenADeviceComesOrGoes)
{
    QTemporaryDir devices;
    PortScanner scanner(devices.path());
    QSignalSpy scanned(&scanner, &PortScanner::scanned);
    scanner.scan();
    ASSERT_TRUE(scanned.wait(5000));
    const int before = scanner.scans();
    QFile adapter(devices.filePath(QStringLiteral("ttyUSB0")));
    ASSERT_TRUE(adapter.open(QIODevice::WriteOnly));
    EXPECT_TRUE(test::waitUntil([&] { return scanner.scans() > before; }));
    const int plugged = scanner.scans();
    ASSERT_TRUE(adapter.remove());
    EXPECT_TRUE(test::waitUntil([&] { return scanner.scans() > plugged; }));
}

} // namespace
} // namespace adc
