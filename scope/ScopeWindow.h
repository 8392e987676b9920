#pragma once

#include "HistoryStore.h"
#include "RecordingLoader.h"
#include "ScopeView.h"

#include <QComboBox>
#include <QFutureWatcher>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QWidget>

#include <memory>
#include <vector>

namespace adc {

/// The scope: a window of its own around a ScopeView, with the buttons and the line of text
/// that go with it.
///
/// Space or the Pause button pauses and resumes the view (acquisition goes on; the window says
/// how many records came since), Home fits the whole run, Ctrl+S saves the plot as PNG and
/// Ctrl+E writes the records in view as CSV with the recording's columns. It shows either a
/// live history (showLive()) or a recording read in the background (open()), whose runs the
/// user picks from a list.
class ScopeWindow : public QWidget {
    Q_OBJECT

public:
    explicit ScopeWindow(QWidget *parent = nullptr);
    ~ScopeWindow() override;

    /// Shows `history`, which the run feeds (not owned).
    void showLive(const HistoryStore *history);
    /// Reads the recording `path` into histories of `capacity` records each in the background,
    /// with a progress bar; then shows its first run. Closing the window ends the reading at
    /// once, whatever the file (a FIFO nobody writes, a device that never ends).
    void open(const QString &path, std::int64_t capacity);

    ScopeView *view() const { return m_view; }
    QPushButton *pauseButton() const { return m_pause; }
    QComboBox *runChoice() const { return m_runs; }
    QProgressBar *progress() const { return m_progress; }
    QLabel *status() const { return m_status; }

    /// Saves the plot as a PNG; false when it could not be written.
    bool savePicture(const QString &path);
    /// Writes the records in view to `path` as CSV, a block of rows per turn of the event loop;
    /// exported() tells the outcome.
    void exportRecords(const QString &path);

signals:
    /// The recording has been read (or refused: `error` says why, from its line).
    void loaded(const QString &error);
    /// An export has ended; `error` is empty when every row was written.
    void exported(const QString &error);
    /// Ctrl+L: the user asks for the line view of the run shown live.
    void lineViewWanted();

private:
    void connectControls();
    void updateStatus();
    void chooseRun(int index);
    void finishLoading(const QString &error);
    void exportBlock();
    void askPicture();
    void askExport();

    ScopeView *m_view;
    QPushButton *m_pause;
    QPushButton *m_fit;
    QComboBox *m_axis;
    QComboBox *m_scale;
    QComboBox *m_runs;
    QProgressBar *m_progress;
    QLabel *m_status;
    QString m_path;
    std::unique_ptr<RecordingLoader> m_loader;
    /// The recording being read; its result is what is wrong with it (empty when nothing).
    QFutureWatcher<QString> m_reading;
    /// An export under way.
    struct Export;
    std::unique_ptr<Export> m_export;
};

} // namespace adc
