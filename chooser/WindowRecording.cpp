#include "WindowRecording.h"

#include "MainWindow.h"

#include <QFileInfo>
#include <QLocale>

namespace adc {

WindowRecording::WindowRecording(MainWindow &window, QObject *parent)
    : QObject(parent), m_window(window), m_title(window.windowTitle())
{
    m_titleTimer.setInterval(kTitleMilliseconds);
    connect(&m_titleTimer, &QTimer::timeout, this, &WindowRecording::showTitle);
    connect(&m_window, &MainWindow::unloaded, &m_titleTimer, &QTimer::stop);
}

WindowRecording::~WindowRecording()
{
    m_session.reset();
}

void WindowRecording::adopt(std::unique_ptr<CsvRecorder> recorder)
{
    begin(std::move(recorder));
}

bool WindowRecording::start(const QString &path)
{
    auto recorder = std::make_unique<CsvRecorder>();
    if (!recorder->open(QFile::encodeName(path).toStdString(), true)) {
        m_errorText = QString::fromStdString(recorder->errorText());
        return false;
    }
    // A run going is recorded from here on as the file's first run.
    if (const AcquisitionRun *run = m_window.run(); run != nullptr && run->running()) {
        recorder->runStarted(run->mode());
    }
    begin(std::move(recorder));
    return true;
}

void WindowRecording::begin(std::unique_ptr<CsvRecorder> recorder)
{
    stop();
    m_errorText.clear();
    m_recorder = std::move(recorder);
    m_session = std::make_unique<RecordingSession>(m_window, *m_recorder);
    showTitle();
    emit changed();
}

void WindowRecording::stop()
{
    if (!m_session) {
        return;
    }
    m_session.reset();
    m_recorder->close();
    m_titleTimer.stop();
    showTitle();
    emit changed();
}

QString WindowRecording::path() const
{
    return m_recorder ? QFile::decodeName(QByteArray::fromStdString(m_recorder->path()))
                      : QString();
}

QString WindowRecording::summary() const
{
    QLocale locale;
    if (locale.language() == QLocale::C) {
        locale = QLocale(QLocale::English);
    }
    return tr("%1, %2 rows").arg(QFileInfo(path()).fileName(), locale.toString(rows()));
}

void WindowRecording::setShownInTitle(bool on)
{
    m_shownInTitle = on;
    showTitle();
}

void WindowRecording::showTitle()
{
    if (!m_shownInTitle) {
        return;
    }
    if (!recording()) {
        m_titleTimer.stop();
        m_window.setWindowTitle(m_title);
        return;
    }
    if (!m_titleTimer.isActive()) {
        m_titleTimer.start();
    }
    m_window.setWindowTitle(tr("%1 - recording %2").arg(m_title, summary()));
}

} // namespace adc
