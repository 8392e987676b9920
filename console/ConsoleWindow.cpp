#include "ConsoleWindow.h"

#include "ChoiceStore.h"
#include "DeviceName.h"
#include "FormatChoice.h"
#include "HistoryStore.h"
#include "LineStateTip.h"
#include "LineSummary.h"
#include "LiveFeed.h"
#include "PortScanner.h"
#include "RunSession.h"
#include "ScopeWindow.h"
#include "WarningBox.h"
#include "WindowRecording.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLocale>
#include <QMessageBox>
#include <QSettings>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace adc {

namespace {

/// What the "Port" list holds in an entry's data besides a device's path.
const QString kSimulatedEntry = QStringLiteral(":simulated");
const QString kOtherEntry = QStringLiteral(":other");

/// A small heading over a control.
QLabel *heading(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
}

} // namespace

ConsoleWindow::ConsoleWindow(RunSession &session, PortScanner &scanner, const StartSettings &start,
                             QWidget *parent)
    : QWidget(parent), m_session(session), m_scanner(scanner), m_choices(start),
      m_history(std::make_unique<HistoryStore>(start.historyRecords)),
      m_scope(new ScopeWindow(this))
{
    setWindowTitle(tr("AD Converter"));
    m_recording = std::make_unique<WindowRecording>(session, *this);
    m_recording->setShownInTitle(true);
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(m_scope, 1);
    row->addWidget(createPanel());
    resize(960 + kPanelWidth, 600);

    m_feed = std::make_unique<LiveFeed>(*m_history,
                                        [view = m_scope->view()] { view->historyChanged(); });
    m_session.addObserver(m_feed.get());
    m_scope->setKeptChannels(&ChoiceStore::openUserSettings);
    m_scope->applyChannelSettings(start.channelUnits);
    m_scope->showLive(m_history.get());
    // Other boards' lines have no range of their own: the plot fits the values.
    m_scope->view()->setValueScale(ScopeView::ValueScale::Fitted);
    m_scope->view()->setEmptyText(tr("No records yet: the values show here as lines come; the "
                                     "line view (Ctrl+L) shows every line and what became of it."));
    connectSession();
    m_ticker.setInterval(kTickMilliseconds);
    connect(&m_ticker, &QTimer::timeout, this, &ConsoleWindow::tick);
    m_ticker.start();
    tick();
}

ConsoleWindow::~ConsoleWindow()
{
    m_session.removeObserver(m_feed.get());
    if (!m_closed) {
        m_session.stop();
        m_session.finishRecording();
    }
}

QWidget *ConsoleWindow::createPanel()
{
    auto *panel = new QWidget(this);
    panel->setFixedWidth(kPanelWidth);
    m_format = new QComboBox(panel);
    FormatChoice::fill(*m_format, m_choices.format);
    m_format->setToolTip(tr("What the board prints; the board's records open its own window"));
    m_device = new QComboBox(panel);
    m_speed = new QComboBox(panel);
    m_speed->setEditable(true);
    m_speed->setValidator(new QIntValidator(kMinBaud, kMaxBaud, m_speed));
    for (const qint32 rate : StartSettings::kCommonSpeeds) {
        m_speed->addItem(QString::number(rate));
    }
    m_speed->setCurrentText(QString::number(m_choices.baud));
    m_start = new QPushButton(tr("Start"), panel);
    m_stop = new QPushButton(tr("Stop"), panel);
    m_count = new QLabel(panel);
    QFont big = m_count->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    m_count->setFont(big);
    m_state = new QLabel(panel);
    m_line = new QLabel(panel);
    m_line->setWordWrap(true);
    m_line->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    m_record = new QPushButton(panel);
    m_reconnect = new QCheckBox(tr("Wait for a lost device"), panel);
    m_reconnect->setToolTip(tr("When the device drops out, wait for it and go on"));
    m_reconnect->setChecked(m_choices.reconnect);
    m_lineView = new QPushButton(tr("Line view (Ctrl+L)"), panel);
    m_tip = new LineStateTip({m_count, m_state}, this);
    for (QPushButton *b : {m_start, m_stop, m_record, m_lineView}) {
        b->setAutoDefault(false);
    }
    m_device->installEventFilter(this);
    fillDevices();
    layOutPanel(*panel);
    return panel;
}

void ConsoleWindow::layOutPanel(QWidget &panel)
{
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_start);
    buttons->addWidget(m_stop);
    auto *column = new QVBoxLayout(&panel);
    column->addWidget(heading(tr("Lines"), &panel));
    column->addWidget(m_format);
    column->addWidget(heading(tr("Port"), &panel));
    column->addWidget(m_device);
    column->addWidget(heading(tr("Speed (baud)"), &panel));
    column->addWidget(m_speed);
    column->addLayout(buttons);
    column->addWidget(m_count);
    column->addWidget(m_state);
    column->addWidget(m_line, 1);
    column->addWidget(m_record);
    column->addWidget(m_reconnect);
    column->addWidget(m_lineView);
}

void ConsoleWindow::connectSession()
{
    connect(m_start, &QPushButton::clicked, this, &ConsoleWindow::startRun);
    connect(m_stop, &QPushButton::clicked, this, &ConsoleWindow::stopRun);
    connect(m_format, &QComboBox::activated, this, &ConsoleWindow::chooseFormat);
    connect(m_device, &QComboBox::activated, this, &ConsoleWindow::chooseDevice);
    connect(m_speed, &QComboBox::activated, this, &ConsoleWindow::chooseSpeed);
    connect(m_speed->lineEdit(), &QLineEdit::editingFinished, this, &ConsoleWindow::chooseSpeed);
    connect(m_reconnect, &QCheckBox::toggled, this, &ConsoleWindow::chooseReconnect);
    connect(m_record, &QPushButton::clicked, this, [this] {
        if (m_recording->recording()) {
            stopRecording();
        } else {
            askRecording();
        }
    });
    connect(m_lineView, &QPushButton::clicked, this, &ConsoleWindow::lineViewWanted);
    // The scope's own Ctrl+L works anywhere in the window.
    connect(m_scope, &ScopeWindow::lineViewWanted, this, &ConsoleWindow::lineViewWanted);
    connect(&m_scanner, &PortScanner::scanned, this, &ConsoleWindow::fillDevices);

    connect(&m_session, &RunSession::ended, this, [this](const QString &message) {
        if (!message.isEmpty()) {
            showFailure(message);
        }
        tick();
    });
    connect(&m_session, &RunSession::recordingFailed, this,
            [this](const QString &message) { warn(message); });
    connect(&m_session, &RunSession::waitingForDevice, m_tip, &LineStateTip::refresh);
    connect(&m_session, &RunSession::waitReasonChanged, m_tip, &LineStateTip::setWaitReason);
    connect(&m_session, &RunSession::resumed, m_tip, &LineStateTip::refresh);
    connect(m_recording.get(), &WindowRecording::changed, this, &ConsoleWindow::tick);
}

void ConsoleWindow::setSimulatedDevice(const QString &device)
{
    m_simulatedDevice = device;
    fillDevices();
}

void ConsoleWindow::simulatedBoardMoved(const QString &device)
{
    m_simulatedDevice = device;
    if (m_choices.simulated) {
        m_session.setDevice(device);
    }
}

void ConsoleWindow::fillDevices()
{
    const QSignalBlocker quiet(m_device);
    m_device->clear();
    const QString current = m_choices.simulated ? kSimulatedEntry : m_choices.device;
    for (const PortList::Port &port : m_scanner.ports()) {
        m_device->addItem(PortList::text({port}).trimmed(), port.device);
    }
    if (!m_simulatedDevice.isEmpty()) {
        m_device->addItem(tr("Simulated board"), kSimulatedEntry);
    }
    if (m_device->findData(current) < 0) {
        m_device->addItem(DeviceName::shown(current), current);
    }
    m_device->addItem(tr("Other device..."), kOtherEntry);
    m_device->setCurrentIndex(m_device->findData(current));
}

void ConsoleWindow::chooseDevice(int index)
{
    const QString chosen = m_device->itemData(index).toString();
    if (chosen == kOtherEntry) {
        auto *files = new QFileDialog(this, tr("Port 1's device"), QStringLiteral("/dev"));
        files->setFileMode(QFileDialog::ExistingFile);
        files->setFilter(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
        files->setAttribute(Qt::WA_DeleteOnClose);
        connect(files, &QFileDialog::fileSelected, this, [this](const QString &device) {
            m_choices.device = device;
            m_choices.simulated = false;
            fillDevices();
            changed();
        });
        connect(files, &QFileDialog::finished, this, &ConsoleWindow::fillDevices);
        files->open();
        return;
    }
    m_choices.simulated = chosen == kSimulatedEntry;
    if (!m_choices.simulated) {
        m_choices.device = chosen;
    }
    changed();
}

void ConsoleWindow::chooseFormat()
{
    const Format format = FormatChoice::chosen(*m_format);
    if (format == m_choices.format) {
        return;
    }
    m_choices.format = format;
    changed();
    if (format == Format::Board) {
        emit formatWanted(format);
        close();
    } else if (m_session.run() != nullptr && m_session.run()->running()) {
        startRun();
    }
}

void ConsoleWindow::chooseSpeed()
{
    bool ok = false;
    const qint32 baud = m_speed->currentText().toInt(&ok);
    if (!ok || baud < kMinBaud || baud > kMaxBaud || baud == m_choices.baud) {
        return;
    }
    m_choices.baud = baud;
    m_session.setLineSettings(LineSettings{baud});
    changed();
}

void ConsoleWindow::chooseReconnect(bool on)
{
    m_choices.reconnect = on;
    m_session.setReconnect(on);
    changed();
}

void ConsoleWindow::startRun()
{
    if (m_closed) {
        return;
    }
    const QString device = m_choices.simulated ? m_simulatedDevice : m_choices.device;
    if (!device.isEmpty()) {
        m_session.setDevice(device);
    }
    m_session.setChannelCount(m_choices.channels);
    // A run that starts makes the message about an earlier failure stale.
    if (m_session.start(modeOf(m_choices.format)) && m_failureBox) {
        m_failureBox->close();
    }
    if (const AcquisitionRun *run = m_session.run()) {
        m_tip->follow(*run, DeviceName::shown(m_session.device()));
    }
    tick();
}

void ConsoleWindow::stopRun()
{
    m_session.stop();
    tick();
}

bool ConsoleWindow::startRecording(const QString &path)
{
    if (!m_recording->start(path)) {
        warn(m_recording->errorText());
        return false;
    }
    m_choices.recordFolder = QFileInfo(path).absolutePath();
    changed();
    return true;
}

void ConsoleWindow::stopRecording()
{
    m_recording->stop();
}

void ConsoleWindow::askRecording()
{
    QFileDialog *files = WindowRecording::fileDialog(this, m_choices.recordFolder);
    connect(files, &QFileDialog::fileSelected, this, &ConsoleWindow::startRecording);
    files->open();
}

void ConsoleWindow::tick()
{
    const AcquisitionRun *run = m_session.run();
    const bool running = run != nullptr && run->running();
    m_count->setText(tr("%1 records").arg(QLocale().toString(run ? run->count() : 0)));
    QString state = tr("Stopped");
    QString colour = QStringLiteral("#606060");
    if (m_session.waiting()) {
        state = tr("Waiting for %1").arg(DeviceName::shown(m_session.device()));
        colour = QStringLiteral("#b06000");
    } else if (running) {
        state = tr("Running");
        colour = QStringLiteral("#007000");
    }
    m_state->setText(state);
    m_state->setStyleSheet(QStringLiteral("color: %1; font-weight: bold").arg(colour));
    m_stop->setEnabled(running);
    const LineSummary summary = LineSummary::of(m_session.wireLog());
    const QString glance = QString::fromStdString(summary.text());
    m_line->setText(running ? glance + QStringLiteral("\n\n") + m_tip->text() : glance);
    m_record->setText(m_recording->recording() ? tr("Stop recording") : tr("Record to file..."));
}

void ConsoleWindow::showFailure(const QString &message)
{
    if (m_failureBox) {
        m_failureBox->setText(message);
        return;
    }
    m_failureBox = WarningBox::open(*this, message);
}

void ConsoleWindow::addLineNote(std::function<QString()> note)
{
    m_tip->addNote(std::move(note));
}

QMessageBox *ConsoleWindow::warn(const QString &message)
{
    return WarningBox::open(*this, message);
}

bool ConsoleWindow::eventFilter(QObject *watched, QEvent *event)
{
    // The ports are looked for when the user goes to the list, not before.
    if (watched == m_device &&
        (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::FocusIn)) {
        m_scanner.scan();
    }
    return QWidget::eventFilter(watched, event);
}

void ConsoleWindow::changed()
{
    emit chosen(m_choices);
}

void ConsoleWindow::closeEvent(QCloseEvent *event)
{
    if (!m_closed) {
        m_closed = true;
        m_ticker.stop();
        m_session.stop();
        m_session.finishRecording();
        if (m_failureBox) {
            m_failureBox->close();
        }
        emit closed();
    }
    event->accept();
}

} // namespace adc
