#include "RecordingSession.h"

#include "MainWindow.h"

#include <QMessageBox>

namespace adc {

RecordingSession::RecordingSession(MainWindow &window, CsvRecorder &recorder, QObject *parent)
    : QObject(parent), m_window(window), m_recorder(recorder)
{
    m_window.setRecordObserver(&m_recorder);
    connect(&m_window, &MainWindow::unloaded, this, [this] {
        m_recorder.close();
        m_timer.stop();
    });
    m_timer.setInterval(kTickMilliseconds);
    connect(&m_timer, &QTimer::timeout, this, &RecordingSession::tick);
    m_timer.start();
}

RecordingSession::~RecordingSession()
{
    m_window.setRecordObserver(nullptr);
}

QMessageBox *RecordingSession::failureBox() const
{
    return m_failureBox.data();
}

void RecordingSession::tick()
{
    m_recorder.flushIfDue(CsvRecorder::MonotonicClock::now());
    if (!m_recorder.failed() || m_failureShown) {
        return;
    }
    m_failureShown = true;
    m_timer.stop();
    auto *box =
        new QMessageBox(QMessageBox::Warning, m_window.windowTitle(),
                        QString::fromStdString(m_recorder.errorText()), QMessageBox::Ok, &m_window);
    box->setAttribute(Qt::WA_DeleteOnClose);
    m_failureBox = box;
    // Not modal, as the window's own messages: every close request still ends the program.
    box->setWindowModality(Qt::NonModal);
    m_window.closeWithMessage(box);
    box->show();
}

} // namespace adc
