#pragma once

#include "AcquisitionRun.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <vector>

namespace adc {

/// The tooltip of the running indicator and the sample counter: what the line of the run going
/// looks like, in plain words. The device and its settings, records per second over the last
/// seconds, lines dropped since Start by reason and, when nothing has been taken for a few
/// seconds, the likely cause; while a run waits for its lost device, that it waits.
///
/// The text is brought up to date once a second while a run goes, and at once while it is
/// shown; the timer stops when the run ends. It changes nothing on screen until the mouse
/// rests on one of the widgets.
class LineStateTip : public QObject {
    Q_OBJECT

public:
    static constexpr int kIntervalMilliseconds = 1000;

    /// The tooltip is given to each of `widgets`, which stay owned by the caller.
    explicit LineStateTip(const QList<QWidget *> &widgets, QObject *parent = nullptr);

    /// Follows `run` on `device` from now on, in place of any run before; `run` must stay until
    /// follow() is called again or this object goes.
    void follow(const AcquisitionRun &run, const QString &device);

    /// The tooltip as it stands.
    QString text() const { return m_text; }

    /// Adds the line `note` gives (none: empty) below the rest, for as long as this object lives.
    void addNote(std::function<QString()> note) { m_notes.push_back(std::move(note)); }

    /// Brings the text up to date now (as the run's clock says).
    void refresh();
    /// Why the device now at the path of a lost one is not taken; empty for none.
    void setWaitReason(const QString &reason);

private:
    QList<QPointer<QWidget>> m_widgets;
    const AcquisitionRun *m_run = nullptr;
    QString m_device;
    QString m_waitReason;
    QString m_text;
    std::vector<std::function<QString()>> m_notes;
    QTimer m_timer;
};

} // namespace adc
