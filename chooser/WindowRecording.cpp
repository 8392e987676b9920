#include "WindowRecording.h"

#include "DeviceName.h"
#include "MainWindow.h"
#include "RunSession.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLocale>

namespace adc {

QFileDialog *WindowRecording::fileDialog(QWidget *parent, const QString &folder)
{
    auto *files =
        new QFileDialog(parent, tr("Record to"), folder, tr("CSV files (*.csv);;All files (*)"));
    files->setAcceptMode(QFileDialog::AcceptSave);
    files->setDefaultSuffix(QStringLiteral("csv"));
    files->setOption(QFileDialog::DontConfirmOverwrite);
    files->setAttribute(Qt::WA_DeleteOnClose);
    return files;
}

WindowRecording::WindowRecording(RunSession &session, QWidget &window, QObject *parent)
    : QObject(parent), m_session(session), m_window(window), m_title(window.windowTitle())
{
    m_titleTimer.setInterval(kTitleMilliseconds);
    connect(&m_titleTimer, &QTimer::timeout, this, &WindowRecording::showTitle);
    if (auto *main = qobject_cast<MainWindow *>(&window)) {
        connect(main, &MainWindow::unloaded, &m_titleTimer, &QTimer::stop);
    }
}

bool WindowRecording::start(const QString &path)
{
    if (!m_session.startRecording(path, true)) {
        return false;
    }
    showTitle();
    emit changed();
    return true;
}

void WindowRecording::stop()
{
    m_session.stopRecording();
    showTitle();
    emit changed();
}

bool WindowRecording::recording() const
{
    const CsvRecorder *recorder = m_session.recorder();
    return recorder != nullptr && recorder->recording();
}

QString WindowRecording::path() const
{
    const CsvRecorder *recorder = m_session.recorder();
    return recorder != nullptr ? DeviceName::fromBytes(QByteArray::fromStdString(recorder->path()))
                               : QString();
}

qint64 WindowRecording::rows() const
{
    const CsvRecorder *recorder = m_session.recorder();
    return recorder != nullptr ? recorder->rowsRecorded() : 0;
}

QString WindowRecording::errorText() const
{
    return m_session.recordingError();
}

QString WindowRecording::summary() const
{
    QLocale locale;
    if (locale.language() == QLocale::C) {
        locale = QLocale(QLocale::English);
    }
    return tr("%1, %2 rows")
        .arg(DeviceName::shown(QFileInfo(path()).fileName()), locale.toString(rows()));
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
