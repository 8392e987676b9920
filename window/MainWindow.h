#pragma once

#include "FilledShape.h"
#include "LineStateTip.h"
#include "RunSession.h"
#include "StripChart.h"
#include "WindowDisplay.h"

#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QString>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>

class QCloseEvent;
class QMessageBox;

namespace adc {

/// The program's only window: the value boxes, the sample counter, the running indicator, the
/// strip chart and the four buttons.
///
/// Every control has a fixed place and size, given in twips at 15 twips to the pixel, as in the
/// chart; the controls are public members named like their object names. The window drives the
/// run session it is given, which owns the board's port and the run. The Start buttons start a
/// run (a second click ends the run going and starts afresh, leaving the chart as it is), Clear
/// erases the chart, and EXIT or the close box close the port and emit unloaded(), after which
/// nothing more runs. A message about a failure does not hold them up and goes with the window.
class MainWindow : public QWidget {
    Q_OBJECT

public:
    /// Size of the client area in twips.
    static constexpr int kClientWidthTwips = 9090;
    static constexpr int kClientHeightTwips = 5235;

    /// Drives `session` (not owned; it outlives the window) on its port 1 device.
    explicit MainWindow(RunSession &session, QWidget *parent = nullptr);
    ~MainWindow() override;

    QPushButton *Command1;                      ///< "INT A/D Start"
    QPushButton *Command2;                      ///< "MCP3201 A/D Start"
    QPushButton *Command3;                      ///< "EXIT"
    QPushButton *Command4;                      ///< "Clear"
    std::array<QLineEdit *, kMaxChannels> Text; ///< the value boxes of channels 0-7
    QLineEdit *TIMES_TEXT;                      ///< the sample counter
    QLabel *Label1;                             ///< the heading
    QLabel *Label2;                             ///< the port note inside the chart
    QLabel *Label3, *Label4, *Label5, *Label6, *Label7, *Label8, *Label9, *Label10;
    QLabel *Label11;      ///< "Times"
    StripChart *Picture1; ///< the strip chart
    FilledShape *Shape1;  ///< the running indicator

    /// A line that `note` gives is added to the tooltip of the indicator and the counter.
    void addLineNote(std::function<QString()> note) { m_lineTip->addNote(std::move(note)); }
    /// The run going or last ended, if any.
    const AcquisitionRun *run() const { return m_session.run(); }
    /// What the run draws on.
    WindowDisplay &display() { return *m_display; }
    /// The message box about the last failure, while it is open.
    QMessageBox *failureBox() const;
    /// The message box about a failed write to the recording, while it is open.
    QMessageBox *recordingFailureBox() const;
    /// Whether the window has been unloaded.
    bool isUnloaded() const { return m_unloaded; }

    /// Port 1's device from the next Start on; the run going keeps its own, also when it waits
    /// for its device to come back.
    void setDevice(const QString &device) { m_nextDevice = device; }
    /// The device the next Start opens.
    QString nextDevice() const
    {
        return m_nextDevice.isEmpty() ? m_session.device() : m_nextDevice;
    }

    /// What a Start button does: ends the run going, if any, and starts one in `mode`.
    void startRun(Mode mode);
    /// What the Clear button does.
    void clearChart();
    /// What EXIT and the close box do: ends the run, closes the port if it is open, and
    /// emits unloaded(). Does nothing the second time.
    void unload();
    /// Opens a warning box with `message` over the window: not modal, deleted when closed, and
    /// gone with the window. A close request from the window system to it ends the program as
    /// the window's close box does: every close request is obeyed.
    QMessageBox *warn(const QString &message);

signals:
    /// The window has been unloaded: the port is closed and the program should end now.
    void unloaded();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createControls();
    /// Ends the run and closes the port: the one way the window lets go of the board.
    void shutDown();
    void showFailure(const QString &message);
    void showRecordingFailure(const QString &message);
    void closeFailureBox();

    RunSession &m_session;
    std::unique_ptr<WindowDisplay> m_display;
    QPointer<QMessageBox> m_failureBox;
    QPointer<QMessageBox> m_recordingFailureBox;
    LineStateTip *m_lineTip = nullptr;
    QString m_nextDevice;
    bool m_unloaded = false;
};

} // namespace adc
