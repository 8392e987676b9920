#include "ScopeWindow.h"
#include "DeviceName.h"

#include "HistoryExport.h"
#include "RecordingFormat.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLocale>
#include <QShortcut>
#include <QTimer>
#include <QVBoxLayout>

#include <cerrno>
#include <cstring>
#include <fstream>

namespace adc {

namespace {

/// Rows written per turn of the event loop by an export.
constexpr std::int64_t kExportBlock = 50'000;

} // namespace

struct ScopeWindow::Export {
    std::ofstream out;
    QString path;
    std::int64_t next = 0;
    std::int64_t end = 0;
};

ScopeWindow::ScopeWindow(QWidget *parent)
    : QWidget(parent), m_view(new ScopeView(this)), m_pause(new QPushButton(tr("Pause"), this)),
      m_fit(new QPushButton(tr("Fit all"), this)), m_axis(new QComboBox(this)),
      m_scale(new QComboBox(this)), m_runs(new QComboBox(this)), m_progress(new QProgressBar(this)),
      m_status(new QLabel(this))
{
    setWindowTitle(tr("AD Converter scope"));
    m_axis->addItems({tr("Time since Start"), tr("Record number")});
    m_scale->addItems({tr("Board's range"), tr("Fitted"), tr("Zoomed")});
    m_scale->setItemData(2, 0, Qt::UserRole - 1); // "Zoomed" comes from Ctrl+wheel only
    m_pause->setToolTip(tr("Pause the view while the run goes on (Space)"));
    m_fit->setToolTip(tr("Show the whole run (Home or a double click)"));
    // Space is the window's shortcut, not a click of the focused button.
    for (QWidget *w : {static_cast<QWidget *>(m_pause), static_cast<QWidget *>(m_fit)}) {
        w->setFocusPolicy(Qt::NoFocus);
    }
    m_runs->setVisible(false);
    m_progress->setVisible(false);
    m_progress->setRange(0, 1000);

    auto *bar = new QHBoxLayout;
    bar->addWidget(m_pause);
    bar->addWidget(m_fit);
    bar->addWidget(m_axis);
    bar->addWidget(m_scale);
    bar->addWidget(m_runs);
    bar->addWidget(m_progress, 1);
    bar->addWidget(m_status, 1);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(bar);
    layout->addWidget(m_view, 1);
    resize(960, 600);

    connect(m_pause, &QPushButton::clicked, this, [this] { m_view->setLive(!m_view->isLive()); });
    connect(m_fit, &QPushButton::clicked, m_view, &ScopeView::fitAll);
    connect(m_axis, &QComboBox::currentIndexChanged, this, [this](int index) {
        m_view->setXAxis(index == 0 ? ScopeView::XAxis::Seconds : ScopeView::XAxis::Records);
    });
    connect(m_scale, &QComboBox::activated, this, [this](int index) {
        m_view->setValueScale(index == 0 ? ScopeView::ValueScale::Fixed
                                         : ScopeView::ValueScale::Fitted);
    });
    connect(m_runs, &QComboBox::activated, this, &ScopeWindow::chooseRun);
    connect(m_view, &ScopeView::liveChanged, this, [this](bool live) {
        m_pause->setText(live ? tr("Pause") : tr("Resume"));
        updateStatus();
    });
    connect(m_view, &ScopeView::viewChanged, this, [this] {
        m_scale->setCurrentIndex(static_cast<int>(m_view->valueScale()));
        updateStatus();
    });

    const auto shortcut = [this](const QKeySequence &keys, auto slot) {
        connect(new QShortcut(keys, this), &QShortcut::activated, this, slot);
    };
    shortcut(QKeySequence(Qt::Key_Space), [this] { m_view->setLive(!m_view->isLive()); });
    shortcut(QKeySequence(Qt::Key_Home), [this] { m_view->fitAll(); });
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_S), [this] { askPicture(); });
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_E), [this] { askExport(); });
    updateStatus();
}

ScopeWindow::~ScopeWindow()
{
    if (m_thread != nullptr) {
        m_cancel = true;
        m_thread->wait();
        delete m_thread;
    }
}

void ScopeWindow::showLive(const HistoryStore *history)
{
    m_view->setHistory(history);
    updateStatus();
}

void ScopeWindow::open(const QString &path, std::int64_t capacity)
{
    m_path = path;
    setWindowTitle(tr("%1 - AD Converter scope").arg(QFileInfo(path).fileName()));
    m_loader = std::make_unique<RecordingLoader>(capacity);
    m_progress->setValue(0);
    m_progress->setVisible(true);
    m_status->setText(tr("Reading %1 ...").arg(path));
    const double size = std::max<double>(1.0, static_cast<double>(QFileInfo(path).size()));
    RecordingLoader *loader = m_loader.get();
    m_thread = QThread::create([this, loader, path, size] {
        std::ifstream in(DeviceName::toBytes(path).toStdString(), std::ios::binary);
        QString error;
        if (!in) {
            error =
                tr("Cannot open %1: %2.").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        } else {
            loader->load(in, [this, size](std::uint64_t bytes) {
                const int permille = static_cast<int>(static_cast<double>(bytes) / size * 1000.0);
                QMetaObject::invokeMethod(m_progress, "setValue", Qt::QueuedConnection,
                                          Q_ARG(int, permille));
                return !m_cancel.load();
            });
            error = QString::fromStdString(loader->error());
        }
        QMetaObject::invokeMethod(
            this, [this, error] { finishLoading(error); }, Qt::QueuedConnection);
    });
    m_thread->start();
}

void ScopeWindow::finishLoading(const QString &error)
{
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
    m_progress->setVisible(false);
    m_runs->clear();
    QLocale locale;
    for (const RecordingLoader::Run &run : m_loader->runs()) {
        m_runs->addItem(tr("Run %1, %2, %3 records")
                            .arg(run.number)
                            .arg(QString::fromLatin1(RecordingFormat::modeName(run.mode)))
                            .arg(locale.toString(run.rows)));
    }
    m_runs->setVisible(m_runs->count() > 1);
    if (m_runs->count() > 0) {
        chooseRun(0);
    }
    if (!error.isEmpty()) {
        m_status->setText(QFileInfo(m_path).fileName() + QStringLiteral(", ") + error);
        m_status->setStyleSheet(QStringLiteral("color: #c00000"));
        m_status->setToolTip(m_status->text());
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

void ScopeWindow::updateStatus()
{
    if (m_thread != nullptr || !m_status->styleSheet().isEmpty()) {
        return;
    }
    const HistoryStore *history = m_view->history();
    QLocale locale;
    const auto [first, last] = m_view->recordsInView();
    const QString inView = tr("%1 records in view").arg(locale.toString(last - first));
    if (history == nullptr) {
        m_status->clear();
    } else if (m_loader) {
        m_status->setText(inView);
    } else if (m_view->isLive()) {
        m_status->setText(tr("Live, %1 records since Start").arg(locale.toString(history->end())));
    } else {
        m_status->setText(tr("Paused, %1 records since; %2")
                              .arg(locale.toString(m_view->recordsSincePause()), inView));
    }
}

bool ScopeWindow::savePicture(const QString &path)
{
    return m_view->grab().save(path, "PNG");
}

void ScopeWindow::exportRecords(const QString &path)
{
    const HistoryStore *history = m_view->history();
    m_export = std::make_unique<Export>();
    m_export->path = path;
    m_export->out.open(QFile::encodeName(path).toStdString(), std::ios::binary | std::ios::trunc);
    if (history == nullptr || !m_export->out) {
        m_export.reset();
        emit exported(tr("Cannot write %1.").arg(path));
        return;
    }
    std::tie(m_export->next, m_export->end) = m_view->recordsInView();
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
    bool ok = m_view->history() != nullptr &&
              writeHistoryCsv(e.out, *m_view->history(), e.next, to, false);
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
