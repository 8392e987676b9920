#include "ScopeWindow.h"
#include "DeviceName.h"

#include "ChannelDialog.h"
#include "HistoryExport.h"
#include "InterruptibleFile.h"
#include "RecordingFormat.h"
#include "ScopeKeys.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLocale>
#include <QSettings>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include <fstream>

namespace adc {

namespace {

/// Rows written per turn of the event loop by an export.
constexpr std::int64_t kExportBlock = 50'000;
/// The progress bar's steps while a recording is read.
constexpr int kProgressSteps = 1000;

/// The name the system knows the file `path` by.
std::string systemName(const QString &path)
{
    return DeviceName::toBytes(path).toStdString();
}

/// Reads the recording `path` into `loader`, telling the progress; the result is what is wrong
/// with the file, empty when nothing is. Cancelling the promise ends it at once.
void readRecording(QPromise<QString> &promise, RecordingLoader *loader, const QString &path)
{
    InterruptibleFile file(systemName(path), [&promise] { return promise.isCanceled(); });
    if (!file.error().empty()) {
        promise.addResult(
            ScopeWindow::tr("Cannot open %1: %2.").arg(path, QString::fromLocal8Bit(file.error())));
        return;
    }
    const std::uint64_t size = file.size().value_or(0);
    promise.setProgressRange(0, size > 0 ? kProgressSteps : 0);
    std::istream in(&file);
    loader->load(in, [&promise, size](std::uint64_t bytes) {
        if (size > 0) {
            promise.setProgressValue(static_cast<int>(static_cast<double>(bytes) /
                                                      static_cast<double>(size) * kProgressSteps));
        }
        return !promise.isCanceled();
    });
    const std::string &error = loader->error().empty() ? file.error() : loader->error();
    promise.addResult(QString::fromLocal8Bit(error));
}

} // namespace

struct ScopeWindow::Export {
    std::ofstream out;
    QString path;
    std::int64_t next = 0;
    std::int64_t end = 0;
};

ScopeWindow::ScopeWindow(QWidget *parent)
    : QWidget(parent), m_view(new ScopeView(this)), m_toolBar(new QToolBar(this)),
      m_axis(new QComboBox(this)), m_scale(new QComboBox(this)), m_runs(new QComboBox(this)),
      m_progress(new QProgressBar(this)), m_status(new QLabel(this)),
      m_triggerBar(new TriggerBar(this)), m_measurements(new MeasurementPanel(this))
{
    setWindowTitle(tr("AD Converter scope"));
    m_axis->addItems({tr("Time since Start"), tr("Record number")});
    m_scale->addItems({tr("Board's range"), tr("Fitted"), tr("Zoomed")});
    m_scale->setItemData(2, 0, Qt::UserRole - 1); // "Zoomed" comes from Ctrl+wheel only
    m_runs->setVisible(false);
    // The line of text takes the room the buttons leave, not theirs.
    m_status->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_progress->setVisible(false);
    makeActions();

    auto *bar = new QHBoxLayout;
    bar->addWidget(m_toolBar);
    bar->addWidget(m_axis);
    bar->addWidget(m_scale);
    bar->addWidget(m_runs);
    bar->addWidget(m_progress, 1);
    bar->addWidget(m_status, 1);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(bar);
    layout->addWidget(m_triggerBar);
    layout->addWidget(m_view, 1);
    layout->addWidget(m_measurements);
    m_triggerBar->setVisible(false);
    m_measurements->setVisible(false);
    resize(960, 600);
    connectControls();
    connectPanels();
    updateStatus();
}

QAction *ScopeWindow::addAction(const QString &text, const QKeySequence &keys, const QString &tip)
{
    auto *action = new QAction(text, this);
    action->setShortcut(keys);
    // The keys work wherever the focus is in the window; a field being typed in keeps its own.
    action->setShortcutContext(Qt::WindowShortcut);
    action->setToolTip(QStringLiteral("%1 (%2)").arg(tip, keys.toString(QKeySequence::NativeText)));
    QWidget::addAction(action);
    m_toolBar->addAction(action);
    m_view->addAction(action);
    return action;
}

void ScopeWindow::makeActions()
{
    m_toolBar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    // The plot's right-click menu holds the same actions.
    m_view->setContextMenuPolicy(Qt::ActionsContextMenu);
    const auto make = [this](ScopeKeys::Action which) {
        const ScopeKeys::Row &row = ScopeKeys::row(which);
        const auto text = [](std::string_view v) {
            return QString::fromUtf8(v.data(), static_cast<qsizetype>(v.size()));
        };
        QString tip = text(row.does);
        tip[0] = tip[0].toUpper();
        return addAction(text(row.name),
                         QKeySequence::fromString(text(row.keys), QKeySequence::PortableText), tip);
    };
    m_pause = make(ScopeKeys::Action::Pause);
    m_fit = make(ScopeKeys::Action::FitAll);
    m_picture = make(ScopeKeys::Action::SavePicture);
    m_exportAction = make(ScopeKeys::Action::ExportCsv);
    m_measure = make(ScopeKeys::Action::Measurements);
    m_trigger = make(ScopeKeys::Action::Trigger);
    m_channels = make(ScopeKeys::Action::Channels);
    m_lineView = make(ScopeKeys::Action::LineView);
    m_measure->setCheckable(true);
    m_trigger->setCheckable(true);
}

QString ScopeWindow::keyHelp()
{
    return QString::fromStdString(ScopeKeys::helpText(2));
}

void ScopeWindow::connectControls()
{
    connect(m_pause, &QAction::triggered, this,
            [this] { m_view->setLive(!m_view->state().isLive()); });
    connect(m_fit, &QAction::triggered, m_view, &ScopeView::fitAll);
    connect(m_picture, &QAction::triggered, this, &ScopeWindow::askPicture);
    connect(m_exportAction, &QAction::triggered, this, &ScopeWindow::askExport);
    connect(m_channels, &QAction::triggered, this, &ScopeWindow::editChannels);
    connect(m_lineView, &QAction::triggered, this, &ScopeWindow::lineViewWanted);
    connect(m_axis, &QComboBox::currentIndexChanged, this, [this](int index) {
        m_view->setXAxis(index == 0 ? ScopeView::XAxis::Seconds : ScopeView::XAxis::Records);
    });
    connect(m_scale, &QComboBox::activated, this, [this](int index) {
        m_view->setValueScale(index == 0 ? ScopeView::ValueScale::Fixed
                                         : ScopeView::ValueScale::Fitted);
    });
    connect(m_runs, &QComboBox::activated, this, &ScopeWindow::chooseRun);
    connect(&m_reading, &QFutureWatcher<QString>::progressRangeChanged, this,
            [this](int minimum, int maximum) {
                // No size to go by (a pipe, a device): the line of text says it is reading, with
                // no bar that would move for nothing.
                m_progress->setVisible(maximum > minimum);
                m_progress->setRange(minimum, maximum);
            });
    connect(&m_reading, &QFutureWatcher<QString>::progressValueChanged, m_progress,
            &QProgressBar::setValue);
    connect(&m_reading, &QFutureWatcher<QString>::finished, this, [this] {
        finishLoading(m_reading.future().resultCount() > 0 ? m_reading.result() : QString());
    });
    connect(m_view, &ScopeView::liveChanged, this, [this](bool live) {
        m_pause->setText(live ? tr("Pause") : tr("Resume"));
        updateStatus();
    });
    // The line of text changes with every record; laid out again each time, it would cost as
    // much as the plot: it follows at once, then at most once a second while records come.
    m_statusDue.setSingleShot(true);
    m_statusDue.setInterval(kStatusMilliseconds);
    connect(&m_statusDue, &QTimer::timeout, this, &ScopeWindow::updateStatus);
    connect(m_view, &ScopeView::viewChanged, this, [this] {
        m_scale->setCurrentIndex(static_cast<int>(m_view->state().valueScale()));
        updateStatus();
    });
    connect(m_view, &ScopeView::recordsCame, this, [this] {
        if (!m_statusDue.isActive()) {
            updateStatus();
            m_statusDue.start();
        }
    });
}

void ScopeWindow::connectPanels()
{
    m_measureDue.setSingleShot(true);
    m_measureDue.setInterval(250);
    connect(&m_measureDue, &QTimer::timeout, this,
            [this] { m_measurements->measure(m_view->state()); });
    connect(m_measure, &QAction::toggled, this, [this](bool on) {
        m_measurements->setVisible(on);
        if (on) {
            m_measurements->measure(m_view->state());
        }
    });
    const auto follow = [this] {
        if (m_measurements->isVisible() && !m_measureDue.isActive()) {
            m_measureDue.start();
        }
        if (m_triggerBar->isVisible()) {
            m_triggerBar->showChannels(m_view->state());
        }
    };
    connect(m_view, &ScopeView::viewChanged, this, follow);
    connect(m_view, &ScopeView::recordsCame, this, follow);
    connect(m_trigger, &QAction::toggled, this, [this](bool on) {
        m_triggerBar->setVisible(on);
        m_triggerBar->showChannels(m_view->state());
        applyTrigger();
    });
    connect(m_triggerBar, &TriggerBar::changed, this, &ScopeWindow::applyTrigger);
    connect(m_triggerBar, &TriggerBar::armed, m_view, &ScopeView::armTrigger);
    connect(m_view, &ScopeView::triggerLevelDragged, this,
            [this](double level) { m_triggerBar->showLevel(m_view->state(), level); });
}

void ScopeWindow::applyTrigger()
{
    if (!m_trigger->isChecked() || m_view->state().history() == nullptr) {
        m_view->setTrigger(std::nullopt);
        return;
    }
    m_view->setTrigger(m_triggerBar->settings(m_view->state()));
}

void ScopeWindow::setKeptChannels(std::function<std::unique_ptr<QSettings>()> open)
{
    m_openSettings = std::move(open);
    if (m_openSettings) {
        m_view->setChannelUnits(ChannelDialog::kept(*m_openSettings()));
    }
}

void ScopeWindow::applyChannelSettings(std::span<const ChannelUnits::Setting> settings)
{
    ChannelUnits units = channelUnits();
    for (const ChannelUnits::Setting &setting : settings) {
        units.apply(setting);
    }
    m_view->setChannelUnits(units);
}

void ScopeWindow::editChannels()
{
    const HistoryStore *history = m_view->state().history();
    QStringList names;
    if (history != nullptr) {
        for (const std::string &name : history->names()) {
            names << QString::fromStdString(name);
        }
    }
    // Before any run, the board's channels.
    for (int k = static_cast<int>(names.size()); k < kMaxChannels; ++k) {
        names << QStringLiteral("ch%1").arg(k);
    }
    auto *dialog = new ChannelDialog(channelUnits(), names, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, dialog] {
        m_view->setChannelUnits(dialog->units());
        if (const auto &trigger = m_view->triggerSettings()) {
            m_triggerBar->showLevel(m_view->state(), trigger->level);
        }
        if (dialog->keep() && m_openSettings) {
            ChannelDialog::keepIn(*m_openSettings(), dialog->units());
        }
    });
    dialog->open();
}

ScopeWindow::~ScopeWindow()
{
    // A reading still going ends at its next look at the cancel.
    m_reading.disconnect(this);
    m_reading.cancel();
    m_reading.waitForFinished();
}

void ScopeWindow::showLive(const HistoryStore *history)
{
    m_view->setHistory(history);
    updateStatus();
}

void ScopeWindow::open(const QString &path, std::int64_t capacity)
{
    m_reading.cancel();
    m_reading.waitForFinished();
    m_path = path;
    setWindowTitle(tr("%1 - AD Converter scope").arg(QFileInfo(path).fileName()));
    m_loader = std::make_unique<RecordingLoader>(capacity);
    m_progress->setRange(0, kProgressSteps);
    m_progress->setValue(0);
    m_progress->setVisible(true);
    m_status->setText(tr("Reading %1 ...").arg(path));
    // A recording has no Start to click, and is never live.
    m_view->setEmptyText(QString());
    m_view->setGrowing(false);
    for (QAction *live : {m_pause, m_trigger, m_lineView}) {
        live->setVisible(false);
        live->setEnabled(false);
    }
    m_reading.setFuture(QtConcurrent::run(&readRecording, m_loader.get(), path));
}

void ScopeWindow::finishLoading(const QString &error)
{
    m_progress->setVisible(false);
    m_runs->clear();
    QLocale locale;
    for (const RecordingLoader::Run &run : m_loader->runs()) {
        m_runs->addItem(tr("Run %1, %2, %3 records")
                            .arg(QString::number(run.number),
                                 QString::fromLatin1(RecordingFormat::modeName(run.mode)),
                                 locale.toString(run.rows)));
    }
    m_runs->setVisible(m_runs->count() > 1);
    if (m_runs->count() > 0) {
        chooseRun(0);
    } else {
        m_view->setEmptyText(tr("No records to show."));
    }
    const QString name = QFileInfo(m_path).fileName();
    if (!error.isEmpty()) {
        m_status->setText(name + QStringLiteral(", ") + error);
        m_status->setStyleSheet(QStringLiteral("color: #c00000"));
        m_status->setToolTip(m_status->text());
    } else if (m_runs->count() == 0) {
        m_status->setText(name + tr(": no records, only the header"));
    }
    emit loaded(error);
}

void ScopeWindow::chooseRun(int index)
{
    auto &runs = m_loader->runs();
    if (index < 0 || static_cast<std::size_t>(index) >= runs.size()) {
        return;
    }
    m_runs->setCurrentIndex(index);
    // A recording does not grow: the whole run is shown, still.
    m_view->setHistory(runs[static_cast<std::size_t>(index)].history.get());
    m_view->setLive(false);
    m_view->fitAll();
    updateStatus();
}

namespace {

/// "1 record", "2,000 records".
QString recordsText(const QLocale &locale, std::int64_t n)
{
    return n == 1 ? ScopeWindow::tr("1 record")
                  : ScopeWindow::tr("%1 records").arg(locale.toString(n));
}

} // namespace

void ScopeWindow::updateStatus()
{
    if (m_reading.isRunning() || !m_status->styleSheet().isEmpty()) {
        return;
    }
    const PlotState &state = m_view->state();
    const HistoryStore *history = state.history();
    QLocale locale;
    const auto [first, last] = state.recordsInView();
    const QString inView = tr("%1 in view").arg(recordsText(locale, last - first));
    if (history == nullptr) {
        m_status->clear();
    } else if (m_loader) {
        m_status->setText(inView);
    } else if (state.isLive()) {
        m_status->setText(tr("Live, %1 since Start").arg(recordsText(locale, history->end())));
    } else {
        m_status->setText(
            tr("Paused, %1 since; %2").arg(recordsText(locale, state.recordsSincePause()), inView));
    }
}

bool ScopeWindow::savePicture(const QString &path)
{
    return m_view->grab().save(path, "PNG");
}

void ScopeWindow::exportRecords(const QString &path)
{
    const HistoryStore *history = m_view->state().history();
    m_export = std::make_unique<Export>();
    m_export->path = path;
    m_export->out.open(systemName(path), std::ios::binary | std::ios::trunc);
    if (history == nullptr || !m_export->out) {
        m_export.reset();
        emit exported(tr("Cannot write %1.").arg(path));
        return;
    }
    std::tie(m_export->next, m_export->end) = m_view->state().recordsInView();
    writeHistoryCsv(m_export->out, *history, 0, 0);
    QTimer::singleShot(0, this, &ScopeWindow::exportBlock);
}

void ScopeWindow::exportBlock()
{
    if (!m_export) {
        return;
    }
    Export &e = *m_export;
    const std::int64_t to = std::min(e.end, e.next + kExportBlock);
    const HistoryStore *history = m_view->state().history();
    bool ok = history != nullptr && writeHistoryCsv(e.out, *history, e.next, to, false);
    e.next = to;
    if (ok && e.next < e.end) {
        QTimer::singleShot(0, this, &ScopeWindow::exportBlock);
        return;
    }
    e.out.close();
    ok = ok && !e.out.fail();
    const QString path = e.path;
    m_export.reset();
    emit exported(ok ? QString() : tr("Writing %1 failed.").arg(path));
}

void ScopeWindow::askPicture()
{
    auto *dialog = new QFileDialog(this, tr("Save the plot as PNG"), QStringLiteral("scope.png"),
                                   tr("PNG pictures (*.png)"));
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setDefaultSuffix(QStringLiteral("png"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QFileDialog::fileSelected, this, [this](const QString &path) {
        if (!savePicture(path)) {
            m_status->setText(tr("Cannot write %1.").arg(path));
        }
    });
    dialog->open();
}

void ScopeWindow::askExport()
{
    auto *dialog = new QFileDialog(this, tr("Write the records in view as CSV"),
                                   QStringLiteral("scope.csv"), tr("CSV files (*.csv)"));
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setDefaultSuffix(QStringLiteral("csv"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QFileDialog::fileSelected, this, &ScopeWindow::exportRecords);
    dialog->open();
}

} // namespace adc
