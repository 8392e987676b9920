#include "StartDialog.h"

#include "FormatChoice.h"
#include "PortDiagnosis.h"
#include "PortScanner.h"
#include "QtSerialControl.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>

namespace adc {

namespace {

/// The entry of `mode` in the "Start" list.
int modeIndex(const std::optional<Mode> &mode)
{
    if (!mode) {
        return 0;
    }
    return *mode == Mode::Int ? 1 : 2;
}

} // namespace

StartDialog::StartDialog(const StartSettings &defaults, PortScanner &scanner, QWidget *parent)
    : QDialog(parent), m_scanner(scanner), m_defaults(defaults),
      m_recordFolder(defaults.recordFolder)
{
    setWindowTitle(tr("AD Converter"));
    createControls();
    if (!defaults.simulated && !defaults.device.isEmpty()) {
        m_extraDevices << defaults.device;
    }
    m_current = defaults.simulated ? QString::fromLatin1(kSimulatedEntry) : defaults.device;
    fillDevices();
    showSettings(defaults);
    layOut();

    connect(&scanner, &PortScanner::scanned, this, &StartDialog::fillDevices);
    connect(device, &QComboBox::currentIndexChanged, this, &StartDialog::deviceActivated);
    connect(recordBrowse, &QPushButton::clicked, this, &StartDialog::browseRecording);
    connect(format, &QComboBox::currentIndexChanged, this, &StartDialog::formatChosen);
    connect(record, &QCheckBox::toggled, this, [this](bool on) {
        if (on && recordPath->text().trimmed().isEmpty()) {
            browseRecording();
        }
    });
    connect(recordPath, &QLineEdit::textEdited, this,
            [this](const QString &text) { record->setChecked(!text.trimmed().isEmpty()); });
    connect(buttons, &QDialogButtonBox::accepted, this, &StartDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &StartDialog::reject);
    scanner.scan();
    // The list of devices for the hint about a missing one, ready by the time OK is clicked.
    PortDiagnosis::refresh();
}

void StartDialog::createControls()
{
    device = new QComboBox(this);
    portsNote = new QLabel(tr("Looking for serial ports..."), this);
    speed = new QComboBox(this);
    format = new QComboBox(this);
    channels = new QSpinBox(this);
    mode = new QComboBox(this);
    record = new QCheckBox(tr("Record to"), this);
    recordPath = new QLineEdit(this);
    recordBrowse = new QPushButton(tr("Choose..."), this);
    sweep = new QCheckBox(tr("Sweep: at the right edge the chart goes on at the left"), this);
    reconnect = new QCheckBox(tr("Wait for the device when it drops out, and go on"), this);
    scope = new QCheckBox(tr("Open the scope beside the window"), this);
    warning = new QLabel(this);
    buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);

    speed->setEditable(true);
    for (const qint32 rate : StartSettings::kCommonSpeeds) {
        speed->addItem(QString::number(rate));
    }
    speed->setValidator(new QIntValidator(kMinBaud, kMaxBaud, speed));
    FormatChoice::fill(*format, Format::Board);
    channels->setRange(0, kMaxTextChannels);
    channels->setSpecialValueText(tr("as many as the first line has"));
    mode->addItems({tr("No run: wait for a Start button"), tr("INT A/D (PIC records)"),
                    tr("MCP3201 A/D (MCP records)")});
    recordPath->setPlaceholderText(tr("a CSV file; rows go after those already in it"));
    warning->setWordWrap(true);
    warning->setVisible(false);
    warning->setTextInteractionFlags(Qt::TextSelectableByMouse);
}

void StartDialog::showSettings(const StartSettings &defaults)
{
    speed->setCurrentText(QString::number(defaults.baud));
    format->setCurrentIndex(format->findData(static_cast<int>(defaults.format)));
    channels->setValue(defaults.channels);
    mode->setCurrentIndex(modeIndex(defaults.mode));
    formatChosen();
    record->setChecked(!defaults.recordPath.isEmpty());
    recordPath->setText(defaults.recordPath);
    sweep->setChecked(defaults.sweep);
    reconnect->setChecked(defaults.reconnect);
    scope->setChecked(defaults.scope);
}

void StartDialog::layOut()
{
    auto *recordRow = new QHBoxLayout;
    recordRow->addWidget(record);
    recordRow->addWidget(recordPath, 1);
    recordRow->addWidget(recordBrowse);
    auto *speedRow = new QHBoxLayout;
    speedRow->addWidget(speed, 1);
    speedRow->addWidget(new QLabel(tr("baud (N,8,1)"), this));
    auto *form = new QFormLayout(this);
    form->addRow(tr("Device:"), device);
    form->addRow(QString(), portsNote);
    form->addRow(tr("Speed:"), speedRow);
    form->addRow(tr("Lines:"), format);
    form->addRow(tr("Values per line:"), channels);
    form->addRow(tr("Start:"), mode);
    form->addRow(recordRow);
    form->addRow(sweep);
    form->addRow(reconnect);
    form->addRow(scope);
    form->addRow(warning);
    form->addRow(buttons);
    setMinimumWidth(kMinimumWidth);
}

void StartDialog::fillDevices()
{
    const QSignalBlocker blocker(device);
    device->clear();
    QStringList listed;
    for (const PortList::Port &port : m_scanner.ports()) {
        device->addItem(PortList::text({port}).trimmed(), port.device);
        listed << port.device;
    }
    for (const QString &extra : m_extraDevices) {
        if (!listed.contains(extra)) {
            device->addItem(DeviceName::shown(extra), extra);
        }
    }
    device->addItem(tr("Simulated board"), QString::fromLatin1(kSimulatedEntry));
    device->addItem(tr("Other device..."), QString::fromLatin1(kOtherEntry));
    device->setCurrentIndex(std::max(0, device->findData(m_current)));
    m_current = device->currentData().toString();
    if (m_scanner.hasScanned()) {
        portsNote->setText(m_scanner.ports().isEmpty()
                               ? tr("No serial ports found; plug in an adapter or choose "
                                    "another device.")
                           : m_scanner.ports().size() == 1
                               ? tr("1 serial port found.")
                               : tr("%1 serial ports found.").arg(m_scanner.ports().size()));
    }
}

void StartDialog::deviceActivated(int index)
{
    const QString entry = device->itemData(index).toString();
    if (entry != QLatin1String(kOtherEntry)) {
        m_current = entry;
        return;
    }
    // The list shows the device chosen before until a file is picked.
    {
        const QSignalBlocker blocker(device);
        device->setCurrentIndex(std::max(0, device->findData(m_current)));
    }
    auto *files = new QFileDialog(this, tr("Other device"), QStringLiteral("/dev"));
    files->setFileMode(QFileDialog::ExistingFile);
    files->setFilter(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    files->setAttribute(Qt::WA_DeleteOnClose);
    connect(files, &QFileDialog::fileSelected, this, &StartDialog::chooseOtherDevice);
    files->open();
}

void StartDialog::chooseOtherDevice(const QString &path)
{
    if (!m_extraDevices.contains(path)) {
        m_extraDevices << path;
    }
    m_current = path;
    fillDevices();
}

void StartDialog::browseRecording()
{
    auto *files = new QFileDialog(this, tr("Record to"), m_recordFolder,
                                  tr("CSV files (*.csv);;All files (*)"));
    files->setAcceptMode(QFileDialog::AcceptSave);
    files->setDefaultSuffix(QStringLiteral("csv"));
    // An existing file is not replaced: the rows go after its own.
    files->setOption(QFileDialog::DontConfirmOverwrite);
    files->setAttribute(Qt::WA_DeleteOnClose);
    connect(files, &QFileDialog::fileSelected, this, [this](const QString &path) {
        recordPath->setText(path);
        record->setChecked(true);
        m_recordFolder = QFileInfo(path).absolutePath();
    });
    connect(files, &QFileDialog::rejected, this, [this] {
        if (recordPath->text().trimmed().isEmpty()) {
            record->setChecked(false);
        }
    });
    files->open();
}

void StartDialog::formatChosen()
{
    const bool board = FormatChoice::chosen(*format) == Format::Board;
    // Other boards' lines are read as soon as their window opens, in the scope.
    mode->setEnabled(board);
    sweep->setEnabled(board);
    scope->setEnabled(board);
    channels->setEnabled(FormatChoice::chosen(*format) == Format::Csv);
}

QString StartDialog::chosenDevice() const
{
    return m_current == QLatin1String(kSimulatedEntry) ? QString() : m_current;
}

StartSettings StartDialog::choices() const
{
    StartSettings chosen = m_defaults;
    chosen.simulated = m_current == QLatin1String(kSimulatedEntry);
    if (!chosen.simulated) {
        chosen.device = m_current;
    }
    chosen.baud = LineSettings::readBaud(speed->currentText().toStdString()).value_or(kDefaultBaud);
    chosen.format = FormatChoice::chosen(*format);
    chosen.channels = channels->value();
    chosen.mode.reset();
    if (mode->currentIndex() == 1) {
        chosen.mode = Mode::Int;
    } else if (mode->currentIndex() == 2) {
        chosen.mode = Mode::Mcp3201;
    }
    // A file chosen here takes rows after those already in it.
    chosen.recordPath = record->isChecked() ? recordPath->text().trimmed() : QString();
    chosen.append = true;
    chosen.recordFolder = m_recordFolder;
    chosen.sweep = sweep->isChecked();
    chosen.reconnect = reconnect->isChecked();
    chosen.scope = scope->isChecked();
    return chosen;
}

void StartDialog::warn(const QString &text)
{
    warning->setText(text);
    warning->setVisible(!text.isEmpty());
    // The dialog grows to hold every line of the warning at its width.
    if (QLayout *form = layout()) {
        form->activate();
        const int height = form->totalHeightForWidth(width());
        if (height > this->height()) {
            resize(width(), height);
        }
    }
}

void StartDialog::accept()
{
    if (!LineSettings::readBaud(speed->currentText().toStdString())) {
        warn(tr("The speed is a whole number of baud from %1 to %2, such as 9600 or 115200.")
                 .arg(kMinBaud)
                 .arg(kMaxBaud));
        return;
    }
    if (record->isChecked() && recordPath->text().trimmed().isEmpty()) {
        warn(tr("Choose the file to record to, or untick \"Record to\"."));
        return;
    }
    // A device that cannot be opened is told once; OK with the same reason goes on.
    const QString chosen = chosenDevice();
    const QString why = chosen.isEmpty() ? QString() : QtSerialControl::unusableReason(chosen);
    if (!why.isEmpty() && why != m_toldReason) {
        m_toldReason = why;
        warn(why + QLatin1Char('\n') +
             tr("Choose another device in the Device list, or click OK to open the window all "
                "the same."));
        return;
    }
    QDialog::accept();
}

} // namespace adc
