#include "LineView.h"

#include "LineSummary.h"
#include "WireLog.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QShortcut>
#include <QVBoxLayout>

namespace adc {

LineView::LineView(const WireLog &log, Pauser pause, SendBox::Sender sender, QWidget *parent)
    : QWidget(parent), m_log(log), m_pauser(std::move(pause)), m_lines(new WireLines(log, this)),
      m_summary(new QLabel(this)), m_pause(new QPushButton(tr("Pause"), this)),
      m_copy(new QPushButton(tr("Copy"), this)), m_send(new SendBox(std::move(sender), this))
{
    setWindowTitle(tr("AD Converter line view"));
    resize(900, 480);
    m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_pause->setToolTip(tr("Keep the lines in view as they are; the run goes on"));
    m_copy->setToolTip(tr("Copy every line kept, with what became of it (Ctrl+Shift+C)"));
    for (QPushButton *button : {m_pause, m_copy}) {
        button->setAutoDefault(false);
    }
    auto *top = new QHBoxLayout;
    top->addWidget(m_summary, 1);
    top->addWidget(m_pause);
    top->addWidget(m_copy);
    auto *column = new QVBoxLayout(this);
    column->addLayout(top);
    column->addWidget(m_lines, 1);
    column->addWidget(m_send);

    connect(m_pause, &QPushButton::clicked, this, &LineView::togglePause);
    connect(m_copy, &QPushButton::clicked, this, &LineView::copy);
    auto *copyKey = new QShortcut(QKeySequence(tr("Ctrl+Shift+C")), this);
    connect(copyKey, &QShortcut::activated, this, &LineView::copy);
    m_timer.setInterval(kRefreshMilliseconds);
    connect(&m_timer, &QTimer::timeout, this, &LineView::refresh);
    refresh();
}

void LineView::refresh()
{
    m_lines->refresh();
    if (m_log.total() != m_summaryTotal || m_log.paused() != m_summaryPaused) {
        m_summaryTotal = m_log.total();
        m_summaryPaused = m_log.paused();
        showSummary();
    }
}

void LineView::showSummary()
{
    const LineSummary summary = LineSummary::of(m_log);
    QString text = QString::fromStdString(summary.text());
    if (m_log.paused()) {
        text += tr(" (paused: %1 lines since, %2 taken)")
                    .arg(m_log.sincePause())
                    .arg(m_log.takenSincePause());
    }
    m_summary->setText(text);
    // Nothing counted stands out: the reason is the first thing to read.
    m_summary->setStyleSheet(
        summary.nothingTaken() ? QStringLiteral("color: #aa0000; font-weight: bold") : QString());
    m_pause->setText(m_log.paused() ? tr("Resume") : tr("Pause"));
}

void LineView::togglePause()
{
    m_pauser(!m_log.paused());
    refresh();
}

void LineView::copy()
{
    QApplication::clipboard()->setText(QString::fromStdString(m_log.text()));
}

void LineView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    refresh();
    m_timer.start();
}

void LineView::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    m_timer.stop();
}

} // namespace adc
