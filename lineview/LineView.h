#pragma once

#include "SendBox.h"
#include "WireLines.h"

#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <functional>

namespace adc {

class WireLog;

/// The line view: a window with the wire's last lines as they came, each marked with what
/// became of it, a line that says at a glance why nothing is counted, Pause and Copy, and the
/// box that sends a line back to the board.
///
/// The view looks at the log every kRefreshMilliseconds while it is shown, and does nothing
/// when no line came since: the run only adds lines to the log and never waits for the view.
class LineView : public QWidget {
    Q_OBJECT

public:
    static constexpr int kRefreshMilliseconds = 100;
    /// Pauses (true) or resumes the log's keeping of lines.
    using Pauser = std::function<void(bool paused)>;

    /// The view of `log` (not owned; it outlives the view), paused through `pause`, sending
    /// through `sender`.
    LineView(const WireLog &log, Pauser pause, SendBox::Sender sender, QWidget *parent = nullptr);

    WireLines *lines() const { return m_lines; }
    QLabel *summary() const { return m_summary; }
    QPushButton *pauseButton() const { return m_pause; }
    QPushButton *copyButton() const { return m_copy; }
    SendBox *sendBox() const { return m_send; }

    /// Takes in what came since the last look; the timer calls it.
    void refresh();
    /// What Copy does: every line kept, with its verdict, to the clipboard.
    void copy();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void togglePause();
    void showSummary();

    const WireLog &m_log;
    Pauser m_pauser;
    WireLines *m_lines;
    QLabel *m_summary;
    QPushButton *m_pause;
    QPushButton *m_copy;
    SendBox *m_send;
    QTimer m_timer;
    /// What the summary was made from: the log's total and whether it was paused.
    std::int64_t m_summaryTotal = -1;
    bool m_summaryPaused = false;
};

} // namespace adc
