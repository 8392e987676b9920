#pragma once

#include "StartSettings.h"

#include <QObject>

#include <memory>

class QAction;
class QMenu;

namespace adc {

class MainWindow;
class PortScanner;
class RunSession;
class WindowRecording;

/// The main window's context menu, opened by a right click anywhere on it: port 1's device and
/// the line speed (both from the next Start on), what the lines are, a recording started or stopped
/// at any time, the sweep, waiting for a device that drops out, the scope, the line view (also
/// Ctrl+L) and the program's version and licence.
///
/// The menu adds nothing to the window's look. A value box keeps its own items (Copy, Select
/// All) above the menu's.
class WindowMenu : public QObject {
    Q_OBJECT

public:
    /// The menu of `window`, which drives `session` as `start` set it up (the sweep is applied
    /// here), offering the ports `scanner` finds.
    WindowMenu(MainWindow &window, RunSession &session, WindowRecording &recording,
               PortScanner &scanner, const StartSettings &start, QObject *parent = nullptr);
    ~WindowMenu() override;

    /// Starts the run chosen to start with the window, if any.
    void startChosenRun();

    /// The choices as they stand, for the next start of the program.
    const StartSettings &choices() const { return m_choices; }
    /// Port 1's device from the next Start on, when the simulated board has moved to `device`
    /// and is the one chosen.
    void simulatedBoardMoved(const QString &device);
    /// The menu, filled afresh as it opens.
    QMenu *menu() const { return m_menu.get(); }

    /// The simulated board's device while it runs (empty: none), offered as "Simulated board".
    void setSimulatedDevice(const QString &device) { m_simulatedDevice = device; }

    /// What the menu's items do.
    void chooseDevice(const QString &device);
    void chooseSimulated();
    void chooseBaud(qint32 baud);
    /// Another board's lines: the window for them is to take this one's place.
    void chooseFormat(Format format);
    void chooseSweep(bool on);
    void chooseReconnect(bool on);
    /// Records to `path` from now on; a message tells why when the file cannot be had.
    bool startRecording(const QString &path);
    void stopRecording();
    void showAbout();
    void openScope();

signals:
    /// The user has chosen something in the menu; `choices` are to be remembered.
    void chosen(const adc::StartSettings &choices);
    /// "Open the scope" was chosen.
    void scopeWanted();
    /// Another board's lines were chosen: the window for them is to take the main window's
    /// place.
    void formatWanted(adc::Format format);
    /// "Open the line view" was chosen, or Ctrl+L typed.
    void lineViewWanted();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    /// The submenu of what the lines are.
    void addFormats();
    void fill();
    void fillPorts();
    void fillSpeeds();
    void askDevice();
    void askBaud();
    void askRecording();
    void changed();

    MainWindow &m_window;
    RunSession &m_session;
    WindowRecording &m_recording;
    PortScanner &m_scanner;
    StartSettings m_choices;
    QString m_simulatedDevice;
    std::unique_ptr<QMenu> m_menu;
    QMenu *m_ports = nullptr;
    QMenu *m_speeds = nullptr;
    QAction *m_record = nullptr;
    QAction *m_sweep = nullptr;
    QAction *m_reconnect = nullptr;
};

} // namespace adc
