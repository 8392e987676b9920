#pragma once

#include "ChannelUnits.h"
#include "HistoryStore.h"
#include "MeasurementPanel.h"
#include "RecordingLoader.h"
#include "ScopeView.h"
#include "TriggerBar.h"

#include <QAction>
#include <QComboBox>
#include <QFutureWatcher>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>
#include <span>
#include <vector>

class QSettings;
class QToolBar;

namespace adc {

/// The scope: a window of its own around a ScopeView, with the buttons and the line of text
/// that go with it.
///
/// Its actions are in a toolbar, in the plot's right-click menu and on keys (keyHelp() lists
/// them): Space pauses and resumes the view (acquisition goes on; the window says how many
/// records came since), Home fits the whole run, Ctrl+S saves the plot as PNG, Ctrl+E writes the
/// records in view as CSV with the recording's columns (raw counts, so that it opens again as a
/// recording), Ctrl+U names the channels and sets their units. It shows either a live history
/// (showLive()) or a recording read in the background (open()), whose runs the user picks from
/// a list; a recording is never live: no Pause, no Resume.
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

    /// Where channel settings are kept when the user presses Keep; the kept ones show now.
    void setKeptChannels(std::function<std::unique_ptr<QSettings>()> open);
    /// Names and units given for this session, over the kept ones.
    void applyChannelSettings(std::span<const ChannelUnits::Setting> settings);
    const ChannelUnits &channelUnits() const { return m_view->state().units(); }
    /// Opens the channel settings (Ctrl+U).
    void editChannels();

    /// The keys of the scope's actions, a line each ("  Space  pause or resume the view").
    static QString keyHelp();

    ScopeView *view() const { return m_view; }
    QAction *pauseAction() const { return m_pause; }
    QAction *channelsAction() const { return m_channels; }
    QAction *measurementsAction() const { return m_measure; }
    QAction *triggerAction() const { return m_trigger; }
    MeasurementPanel *measurements() const { return m_measurements; }
    TriggerBar *triggerBar() const { return m_triggerBar; }
    QToolBar *toolBar() const { return m_toolBar; }
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
    void makeActions();
    QAction *addAction(const QString &text, const QKeySequence &keys, const QString &tip);
    void connectControls();
    void connectPanels();
    void applyTrigger();
    void updateStatus();
    void chooseRun(int index);
    void finishLoading(const QString &error);
    void exportBlock();
    void askPicture();
    void askExport();

    ScopeView *m_view;
    QToolBar *m_toolBar;
    QAction *m_pause = nullptr;
    QAction *m_fit = nullptr;
    QAction *m_picture = nullptr;
    QAction *m_exportAction = nullptr;
    QAction *m_measure = nullptr;
    QAction *m_trigger = nullptr;
    QAction *m_channels = nullptr;
    QAction *m_lineView = nullptr;
    std::function<std::unique_ptr<QSettings>()> m_openSettings;
    QComboBox *m_axis;
    QComboBox *m_scale;
    QComboBox *m_runs;
    QProgressBar *m_progress;
    QLabel *m_status;
    TriggerBar *m_triggerBar;
    MeasurementPanel *m_measurements;
    /// Measurements are brought up to date at most this often while the view moves.
    QTimer m_measureDue;
    /// The line of text, at most once in kStatusMilliseconds while records come.
    static constexpr int kStatusMilliseconds = 1000;
    QTimer m_statusDue;
    QString m_path;
    std::unique_ptr<RecordingLoader> m_loader;
    /// The recording being read; its result is what is wrong with it (empty when nothing).
    QFutureWatcher<QString> m_reading;
    /// An export under way.
    struct Export;
    std::unique_ptr<Export> m_export;
};

} // namespace adc
