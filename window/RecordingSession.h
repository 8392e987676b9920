#pragma once

#include "CsvRecorder.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

class QMessageBox;

namespace adc {

class MainWindow;

/// `adconverter --record FILE`: every run of the window writes its accepted records to the
/// recorder. While the window is up, a timer brings waiting rows to the file within a second
/// even on a quiet line; unloading the window (EXIT, the close box, an exit signal) closes the
/// file at once. A failed write is told once, in a message box that names the file, the reason
/// and the rows that are safe; the runs and the window go on without recording.
class RecordingSession : public QObject {
    Q_OBJECT

public:
    /// How often waiting rows are checked for their flush time.
    static constexpr int kTickMilliseconds = 250;

    /// `recorder` is open and stays owned by the caller; both must outlive this session.
    RecordingSession(MainWindow &window, CsvRecorder &recorder, QObject *parent = nullptr);
    /// The window's runs stop recording.
    ~RecordingSession() override;

    /// The message box about a failed write, while it is open.
    QMessageBox *failureBox() const;

private:
    void tick();

    MainWindow &m_window;
    CsvRecorder &m_recorder;
    QTimer m_timer;
    QPointer<QMessageBox> m_failureBox;
    bool m_failureShown = false;
};

} // namespace adc
