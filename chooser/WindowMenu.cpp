#include "WindowMenu.h"

#include "FormatChoice.h"
#include "MainWindow.h"
#include "PortScanner.h"
#include "RunSession.h"
#include "Version.h"
#include "WindowRecording.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QKeySequence>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>

namespace adc {

WindowMenu::WindowMenu(MainWindow &window, RunSession &session, WindowRecording &recording,
                       PortScanner &scanner, const StartSettings &start, QObject *parent)
    : QObject(parent), m_window(window), m_session(session), m_recording(recording),
      m_scanner(scanner), m_choices(start), m_menu(std::make_unique<QMenu>())
{
    m_window.Picture1->setSweep(start.sweep);

    m_ports = m_menu->addMenu(QString());
    m_speeds = m_menu->addMenu(QString());
    m_record = m_menu->addAction(QString());
    m_sweep = m_menu->addAction(tr("Sweep: the chart goes on at the left edge"));
    m_sweep->setCheckable(true);
    m_reconnect = m_menu->addAction(tr("Wait for the device when it drops out"));
    m_reconnect->setCheckable(true);
    QAction *scope = m_menu->addAction(tr("Open the scope"));
    QAction *lines = m_menu->addAction(tr("Open the line view"));
    lines->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    // The key works whenever the window is active, the menu closed.
    m_window.addAction(lines);
    addFormats();
    m_menu->addSeparator();
    QAction *about = m_menu->addAction(tr("About AD Converter"));

    connect(m_menu.get(), &QMenu::aboutToShow, this, &WindowMenu::fill);
    connect(m_ports, &QMenu::aboutToShow, this, &WindowMenu::fillPorts);
    connect(m_speeds, &QMenu::aboutToShow, this, &WindowMenu::fillSpeeds);
    connect(&m_scanner, &PortScanner::scanned, this, [this] {
        if (m_ports->isVisible()) {
            fillPorts();
        }
    });
    connect(m_record, &QAction::triggered, this, [this] {
        if (m_recording.recording()) {
            stopRecording();
        } else {
            askRecording();
        }
    });
    connect(m_sweep, &QAction::triggered, this, &WindowMenu::chooseSweep);
    connect(m_reconnect, &QAction::triggered, this, &WindowMenu::chooseReconnect);
    connect(scope, &QAction::triggered, this, &WindowMenu::openScope);
    connect(lines, &QAction::triggered, this, &WindowMenu::lineViewWanted);
    connect(about, &QAction::triggered, this, &WindowMenu::showAbout);

    // A right click anywhere on the window: on the window itself and on every control.
    m_window.installEventFilter(this);
    for (QWidget *control : m_window.findChildren<QWidget *>()) {
        control->installEventFilter(this);
    }
}

WindowMenu::~WindowMenu() = default;

void WindowMenu::addFormats()
{
    QMenu *formats = m_menu->addMenu(tr("Lines the board prints"));
    for (const Format format : FormatChoice::kFormats) {
        QAction *item = formats->addAction(FormatChoice::label(format));
        item->setCheckable(true);
        item->setChecked(format == Format::Board);
        connect(item, &QAction::triggered, this, [this, format, item] {
            item->setChecked(format == Format::Board);
            chooseFormat(format);
        });
    }
}

void WindowMenu::startChosenRun()
{
    if (m_choices.mode) {
        m_window.startRun(*m_choices.mode);
    }
}

bool WindowMenu::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::ContextMenu) {
        return QObject::eventFilter(watched, event);
    }
    const QPoint at = static_cast<QContextMenuEvent *>(event)->globalPos();
    m_scanner.scan();
    if (auto *box = qobject_cast<QLineEdit *>(watched)) {
        // A value box keeps its own items above the menu's.
        fill();
        QMenu *both = box->createStandardContextMenu();
        both->setAttribute(Qt::WA_DeleteOnClose);
        both->addSeparator();
        both->addActions(m_menu->actions());
        both->popup(at);
    } else {
        m_menu->popup(at);
    }
    return true;
}

void WindowMenu::fill()
{
    const QString device =
        m_choices.simulated ? tr("simulated board") : DeviceName::shown(m_window.nextDevice());
    m_ports->menuAction()->setText(tr("Port: %1").arg(device));
    m_speeds->menuAction()->setText(tr("Speed: %1 baud").arg(m_session.lineSettings().baud));
    m_record->setText(m_recording.recording() ? tr("Stop recording %1").arg(m_recording.summary())
                                              : tr("Record to file..."));
    m_sweep->setChecked(m_window.Picture1->sweep());
    m_reconnect->setChecked(m_choices.reconnect);
}

void WindowMenu::fillPorts()
{
    m_ports->clear();
    const QString current = m_choices.simulated ? QString() : m_window.nextDevice();
    bool listed = false;
    for (const PortList::Port &port : m_scanner.ports()) {
        QAction *item = m_ports->addAction(PortList::text({port}).trimmed());
        item->setCheckable(true);
        item->setChecked(port.device == current);
        listed = listed || port.device == current;
        const QString chosen = port.device;
        connect(item, &QAction::triggered, this, [this, chosen] { chooseDevice(chosen); });
    }
    if (!m_scanner.hasScanned()) {
        m_ports->addAction(tr("Looking for serial ports..."))->setEnabled(false);
    }
    if (!m_choices.simulated && !listed) {
        QAction *item = m_ports->addAction(DeviceName::shown(current));
        item->setCheckable(true);
        item->setChecked(true);
    }
    if (!m_simulatedDevice.isEmpty()) {
        QAction *item = m_ports->addAction(tr("Simulated board"));
        item->setCheckable(true);
        item->setChecked(m_choices.simulated);
        connect(item, &QAction::triggered, this, &WindowMenu::chooseSimulated);
    }
    m_ports->addSeparator();
    connect(m_ports->addAction(tr("Other device...")), &QAction::triggered, this,
            &WindowMenu::askDevice);
}

void WindowMenu::fillSpeeds()
{
    m_speeds->clear();
    const qint32 current = m_session.lineSettings().baud;
    bool listed = false;
    for (const qint32 rate : StartSettings::kCommonSpeeds) {
        QAction *item = m_speeds->addAction(QString::number(rate));
        item->setCheckable(true);
        item->setChecked(rate == current);
        listed = listed || rate == current;
        connect(item, &QAction::triggered, this, [this, rate] { chooseBaud(rate); });
    }
    if (!listed) {
        QAction *item = m_speeds->addAction(QString::number(current));
        item->setCheckable(true);
        item->setChecked(true);
    }
    m_speeds->addSeparator();
    connect(m_speeds->addAction(tr("Other speed...")), &QAction::triggered, this,
            &WindowMenu::askBaud);
}

void WindowMenu::chooseDevice(const QString &device)
{
    m_choices.device = device;
    m_choices.simulated = false;
    m_window.setDevice(device);
    changed();
}

void WindowMenu::chooseSimulated()
{
    m_choices.simulated = true;
    m_window.setDevice(m_simulatedDevice);
    changed();
}

void WindowMenu::simulatedBoardMoved(const QString &device)
{
    m_simulatedDevice = device;
    if (m_choices.simulated) {
        m_session.setDevice(device);
    }
}

void WindowMenu::chooseBaud(qint32 baud)
{
    m_choices.baud = baud;
    m_session.setLineSettings(LineSettings{baud});
    changed();
}

void WindowMenu::chooseFormat(Format format)
{
    if (format == Format::Board) {
        return;
    }
    m_choices.format = format;
    changed();
    emit formatWanted(format);
}

void WindowMenu::chooseSweep(bool on)
{
    m_choices.sweep = on;
    m_window.Picture1->setSweep(on);
    changed();
}

void WindowMenu::chooseReconnect(bool on)
{
    m_choices.reconnect = on;
    m_session.setReconnect(on);
    changed();
}

bool WindowMenu::startRecording(const QString &path)
{
    m_recording.setShownInTitle(true);
    if (!m_recording.start(path)) {
        m_window.warn(m_recording.errorText());
        return false;
    }
    m_choices.recordFolder = QFileInfo(path).absolutePath();
    changed();
    return true;
}

void WindowMenu::stopRecording()
{
    m_recording.stop();
    changed();
}

void WindowMenu::openScope()
{
    m_choices.scope = true;
    changed();
    emit scopeWanted();
}

void WindowMenu::changed()
{
    m_recording.setShownInTitle(true);
    emit chosen(m_choices);
}

void WindowMenu::askDevice()
{
    auto *files = new QFileDialog(&m_window, tr("Port 1's device"), QStringLiteral("/dev"));
    files->setFileMode(QFileDialog::ExistingFile);
    files->setFilter(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    files->setAttribute(Qt::WA_DeleteOnClose);
    connect(files, &QFileDialog::fileSelected, this, &WindowMenu::chooseDevice);
    files->open();
}

void WindowMenu::askBaud()
{
    auto *ask = new QInputDialog(&m_window);
    ask->setWindowTitle(tr("Speed"));
    ask->setLabelText(tr("The line speed in baud (N,8,1), from the next Start on:"));
    ask->setInputMode(QInputDialog::IntInput);
    ask->setIntRange(kMinBaud, kMaxBaud);
    ask->setIntValue(m_session.lineSettings().baud);
    ask->setAttribute(Qt::WA_DeleteOnClose);
    connect(ask, &QInputDialog::intValueSelected, this, &WindowMenu::chooseBaud);
    ask->open();
}

void WindowMenu::askRecording()
{
    QFileDialog *files = WindowRecording::fileDialog(&m_window, m_choices.recordFolder);
    connect(files, &QFileDialog::fileSelected, this, &WindowMenu::startRecording);
    files->open();
}

void WindowMenu::showAbout()
{
    QFile licence(QStringLiteral(":/chooser/LICENSE"));
    const QString text =
        licence.open(QIODevice::ReadOnly) ? QString::fromUtf8(licence.readAll()) : QString();
    const QStringList lines = text.split(QLatin1Char('\n'));
    auto *box = new QMessageBox(&m_window);
    box->setWindowTitle(tr("About AD Converter"));
    box->setIconPixmap(QApplication::windowIcon().pixmap(64, 64));
    box->setText(QLatin1String(kVersionText));
    box->setInformativeText(
        tr("A data logger for an A/D converter board on a serial port.\n\n%1\n%2")
            .arg(lines.value(0), lines.value(2)));
    box->setDetailedText(text);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->show();
}

} // namespace adc
