#pragma once

#include "StartSettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>

namespace adc {

class HistoryStore;
class LineStateTip;
class LiveFeed;
class PortScanner;
class RunSession;
class ScopeWindow;
class WindowRecording;

/// The program's window for boards that print lines of numbers (--format csv or keyvalue): the
/// scope, and beside it what the lines are, the port and its speed, Start and Stop, the count of
/// records, the line's state, the recording, waiting for a lost device and the line view.
///
/// It drives the session as the main window does: a port missing, busy or lost is told in the
/// same words, in a box that does not hold the window up; a port chosen applies from the next
/// Start. Closing the window ends the run, closes the port and the recording, and emits closed().
class ConsoleWindow : public QWidget {
    Q_OBJECT

public:
    /// How often the count and the line's state are brought up to date.
    static constexpr int kTickMilliseconds = 250;
    /// The width of the column of controls beside the scope.
    static constexpr int kPanelWidth = 290;

    /// The window on `session`, started as `start` says, offering the ports `scanner` finds.
    ConsoleWindow(RunSession &session, PortScanner &scanner, const StartSettings &start,
                  QWidget *parent = nullptr);
    ~ConsoleWindow() override;

    /// Port 1's device while the simulated board runs (empty: none), offered as "Simulated
    /// board".
    void setSimulatedDevice(const QString &device);
    /// Port 1's device from the next Start on, when the simulated board has moved to `device`.
    void simulatedBoardMoved(const QString &device);

    /// What Start does: ends the run going, if any, and starts one in the window's format.
    void startRun();
    /// What Stop does.
    void stopRun();
    /// Records to `path` from now on; a message says why when the file cannot be had.
    bool startRecording(const QString &path);
    void stopRecording();
    /// Brings the count and the line's state up to date; the timer calls it.
    void tick();

    const StartSettings &choices() const { return m_choices; }
    QComboBox *formatChoice() const { return m_format; }
    ScopeWindow *scope() const { return m_scope; }
    QComboBox *deviceChoice() const { return m_device; }
    QComboBox *speedChoice() const { return m_speed; }
    QPushButton *startButton() const { return m_start; }
    QPushButton *stopButton() const { return m_stop; }
    QLabel *count() const { return m_count; }
    QLabel *state() const { return m_state; }
    QLabel *lineState() const { return m_line; }
    QPushButton *recordButton() const { return m_record; }
    QCheckBox *reconnectChoice() const { return m_reconnect; }
    QPushButton *lineViewButton() const { return m_lineView; }
    /// The message about the last failure, while it is open.
    QMessageBox *failureBox() const { return m_failureBox.data(); }
    /// A line that `note` gives is added to the line's state.
    void addLineNote(std::function<QString()> note);
    /// Opens a warning box with `message` over the window.
    QMessageBox *warn(const QString &message);

signals:
    /// The user has chosen something; `choices` are to be remembered.
    void chosen(const adc::StartSettings &choices);
    /// The board's records were chosen: the board's own window is to take this one's place,
    /// which closes.
    void formatWanted(adc::Format format);
    /// The line view is asked for (the button, Ctrl+L here or in the scope).
    void lineViewWanted();
    /// The window has been closed: the port is closed and the program should end now.
    void closed();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *createPanel();
    void layOutPanel(QWidget &panel);
    void connectSession();
    void fillDevices();
    void chooseFormat();
    void chooseDevice(int index);
    void chooseSpeed();
    void chooseReconnect(bool on);
    void askRecording();
    void showFailure(const QString &message);
    void changed();

    RunSession &m_session;
    PortScanner &m_scanner;
    StartSettings m_choices;
    QString m_simulatedDevice;
    std::unique_ptr<HistoryStore> m_history;
    std::unique_ptr<LiveFeed> m_feed;
    std::unique_ptr<WindowRecording> m_recording;
    ScopeWindow *m_scope;
    QComboBox *m_format = nullptr;
    QComboBox *m_device = nullptr;
    QComboBox *m_speed = nullptr;
    QPushButton *m_start = nullptr;
    QPushButton *m_stop = nullptr;
    QLabel *m_count = nullptr;
    QLabel *m_state = nullptr;
    QLabel *m_line = nullptr;
    QPushButton *m_record = nullptr;
    QCheckBox *m_reconnect = nullptr;
    QPushButton *m_lineView = nullptr;
    LineStateTip *m_tip = nullptr;
    QPointer<QMessageBox> m_failureBox;
    QTimer m_ticker;
    bool m_closed = false;
};

} // namespace adc
