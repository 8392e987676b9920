#pragma once

#include "AcquisitionRun.h"
#include "FilledShape.h"
#include "LineStateTip.h"
#include "QtSerialControl.h"
#include "Reconnector.h"
#include "RecordFanOut.h"
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
/// chart; the controls are public members named like their object names. The window owns the
/// serial port of the board and at most one acquisition run. The Start buttons start a run (a
/// second click ends the run going and starts afresh, leaving the chart as it is), Clear erases
/// the chart, and EXIT or the close box close the port and emit unloaded(), after which nothing
/// more runs. A message about a failure does not hold them up and goes with the window.
class MainWindow : public QWidget {
    Q_OBJECT

public:
    /// Size of the client area in twips.
    static constexpr int kClientWidthTwips = 9090;
    static constexpr int kClientHeightTwips = 5235;

    /// `port1Device` is the device that stands for serial port 1.
    explicit MainWindow(const QString &port1Device = QString::fromLatin1(kDefaultPort1Device),
                        QWidget *parent = nullptr);
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

    /// The board's serial port.
    QtSerialControl &port() { return m_port; }
    /// The run going or last ended, if any.
    const AcquisitionRun *run() const { return m_run.get(); }
    /// What the run draws on.
    WindowDisplay &display() { return *m_display; }
    /// The message box about the last failure, while it is open.
    QMessageBox *failureBox() const;
    /// Whether the window has been unloaded.
    bool isUnloaded() const { return m_unloaded; }
    /// Characters the run works on per turn of the event loop at most; what is left waits for
    /// the next turn, so that clicks and repaints go on during a flood.
    void setServiceBudget(std::size_t characters) { m_serviceBudget = characters; }
    /// The line speed of the runs started from now on (--baud); 9600 unless set.
    void setBaud(std::int32_t baud) { m_baud = baud; }
    /// Whether a run whose device is lost waits for it to come back and goes on (--reconnect),
    /// rather than ending with a message.
    void setReconnect(bool on) { m_reconnect = on; }
    /// What brings a run back after a loss, with --reconnect.
    const Reconnector &reconnector() const { return m_reconnector; }

    /// Tells `observer` (none: nullptr) of every Start and every accepted record from now on,
    /// in place of the one set before.
    void setRecordObserver(RecordObserver *observer);
    /// Tells `observer` as well as the one set by setRecordObserver(); it stays owned by the
    /// caller and must outlive the window's runs.
    void addRecordObserver(RecordObserver *observer);
    /// A line that `note` gives is added to the tooltip of the indicator and the counter.
    void addLineNote(std::function<QString()> note) { m_lineTip->addNote(std::move(note)); }

    /// What a Start button does: ends the run going, if any, and starts one in `mode`.
    void startRun(Mode mode);
    /// What the Clear button does.
    void clearChart();
    /// What EXIT and the close box do: ends the run, closes the port if it is open, and
    /// emits unloaded(). Does nothing the second time.
    void unload();

signals:
    /// The window has been unloaded: the port is closed and the program should end now.
    void unloaded();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void createControls();
    /// Ends the run and closes the port: the one way the window lets go of the board.
    void shutDown();
    void serviceRun();
    void portFailed(const QString &message);
    void showFailure(const QString &message);
    void closeFailureBox();
    /// Gives the run the observers, if there are any.
    void observeRun();

    QtSerialControl m_port;
    std::unique_ptr<WindowDisplay> m_display;
    std::unique_ptr<AcquisitionRun> m_run;
    /// What the runs tell of their records: the observer set and those added.
    RecordFanOut m_observers;
    RecordObserver *m_recordObserver = nullptr;
    QPointer<QMessageBox> m_failureBox;
    LineStateTip *m_lineTip = nullptr;
    Reconnector m_reconnector;
    std::size_t m_serviceBudget = AcquisitionRun::kDefaultBudget;
    std::int32_t m_baud = AcquisitionRun::kDefaultBaud;
    bool m_reconnect = false;
    bool m_serviceQueued = false;
    bool m_unloaded = false;
};

} // namespace adc
