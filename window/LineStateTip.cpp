#include "LineStateTip.h"

#include <QCursor>
#include <QToolTip>

namespace adc {

LineStateTip::LineStateTip(const QList<QWidget *> &widgets, QObject *parent) : QObject(parent)
{
    for (QWidget *widget : widgets) {
        m_widgets << widget;
    }
    m_timer.setInterval(kIntervalMilliseconds);
    connect(&m_timer, &QTimer::timeout, this, &LineStateTip::refresh);
}

void LineStateTip::follow(const AcquisitionRun &run, const QString &device)
{
    m_run = &run;
    m_device = device;
    refresh();
    if (run.running()) {
        m_timer.start();
    }
}

void LineStateTip::setWaitReason(const QString &reason)
{
    m_waitReason = reason;
    refresh();
}

void LineStateTip::refresh()
{
    if (m_run == nullptr) {
        return;
    }
    QString text =
        m_device + QStringLiteral(" at ") + QString::fromStdString(m_run->lineSettings().text());
    if (m_run->suspended()) {
        text += QStringLiteral("\nwaiting for ") + m_device + QStringLiteral(" to come back");
        if (!m_waitReason.isEmpty()) {
            text += QLatin1Char('\n') + m_waitReason;
        }
    } else if (m_run->running()) {
        text += QLatin1Char('\n') +
                QString::fromStdString(m_run->line().summary("\n", m_run->lineNow()));
    } else {
        m_timer.stop();
        text += QStringLiteral(": stopped");
    }
    for (const auto &note : m_notes) {
        if (const QString line = note(); !line.isEmpty()) {
            text += QLatin1Char('\n') + line;
        }
    }
    if (text == m_text) {
        return;
    }
    m_text = text;
    for (QWidget *widget : m_widgets) {
        if (widget == nullptr) {
            continue;
        }
        widget->setToolTip(text);
        // A tooltip on screen follows at once.
        if (QToolTip::isVisible() && widget->underMouse()) {
            QToolTip::showText(QCursor::pos(), text, widget);
        }
    }
}

} // namespace adc
