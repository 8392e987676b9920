#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

class QFileDialog;
class QWidget;

namespace adc {

class RunSession;

/// The window's recording, started and stopped at any time, between runs or during one (the
/// run session records; a run going is recorded from then on as a new run).
///
/// Once shown in the title (the start dialog or the menu was used), the window's title says
/// that it records, to which file and how many rows so far:
/// "AD Converter - recording bench.csv, 1,204 rows". The title stops changing once a main
/// window is unloaded.
class WindowRecording : public QObject {
    Q_OBJECT

public:
    /// How often the title follows the rows.
    static constexpr int kTitleMilliseconds = 500;

    /// Records `session`'s runs, told in `window`'s title.
    WindowRecording(RunSession &session, QWidget &window, QObject *parent = nullptr);
    /// A file dialog over `parent` that asks for a CSV file to record to, opening in `folder`;
    /// an existing file is not replaced (the rows go after its own). It deletes itself on close.
    static QFileDialog *fileDialog(QWidget *parent, const QString &folder);
    /// Records every record the runs accept to `path` from now on, after the rows
    /// already in it when the file exists. False, with errorText() telling why, when the file
    /// cannot be had.
    bool start(const QString &path);
    /// Hands every row to the file and closes it.
    void stop();

    /// Whether rows are being written (a failed write stops them).
    bool recording() const;
    /// The file recorded to, or last recorded to.
    QString path() const;
    /// Rows recorded to the file so far.
    qint64 rows() const;
    QString errorText() const;
    /// "bench.csv, 1,204 rows".
    QString summary() const;

    /// Whether the window's title tells of the recording (off until the user has chosen
    /// something, so that the window looks as it always did).
    void setShownInTitle(bool on);

signals:
    /// Recording started or stopped.
    void changed();

private:
    void showTitle();

    RunSession &m_session;
    QWidget &m_window;
    QString m_title;
    QTimer m_titleTimer;
    bool m_shownInTitle = false;
};

} // namespace adc
