#include "TriggerBar.h"

#include "ChannelUnits.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include <cmath>

namespace adc {

TriggerBar::TriggerBar(QWidget *parent)
    : QWidget(parent), m_channel(new QComboBox(this)), m_level(new QLineEdit(this)),
      m_unit(new QLabel(this)), m_edge(new QComboBox(this)), m_sweep(new QComboBox(this)),
      m_before(new QSpinBox(this)), m_arm(new QPushButton(tr("Arm"), this))
{
    m_level->setMaximumWidth(90);
    m_level->setToolTip(tr("The level, in the channel's units; or drag the handle on the value "
                           "axis"));
    m_edge->addItems({tr("Rising"), tr("Falling")});
    m_sweep->addItems({tr("Auto"), tr("Normal"), tr("Single")});
    m_sweep->setToolTip(tr("Auto: the newest records when nothing triggers; Normal: the last "
                           "trigger only; Single: one trigger, then held until Arm"));
    m_before->setRange(0, 100);
    m_before->setValue(50);
    m_before->setSuffix(tr(" % before"));
    m_before->setToolTip(tr("The share of the stretch before the trigger point"));
    m_arm->setToolTip(tr("Wait for the next trigger"));
    m_arm->setEnabled(false);
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(new QLabel(tr("Trigger on"), this));
    row->addWidget(m_channel);
    row->addWidget(new QLabel(tr("at"), this));
    row->addWidget(m_level);
    row->addWidget(m_unit);
    row->addWidget(m_edge);
    row->addWidget(m_sweep);
    row->addWidget(m_before);
    row->addWidget(m_arm);
    row->addStretch(1);
    // Another channel starts at the middle of its own values.
    connect(m_channel, &QComboBox::activated, m_level, &QLineEdit::clear);
    for (QComboBox *box : {m_channel, m_edge, m_sweep}) {
        connect(box, &QComboBox::activated, this, &TriggerBar::changed);
    }
    connect(m_sweep, &QComboBox::currentIndexChanged, this,
            [this](int index) { m_arm->setEnabled(index == 2); });
    connect(m_level, &QLineEdit::editingFinished, this, &TriggerBar::changed);
    connect(m_before, &QSpinBox::valueChanged, this, &TriggerBar::changed);
    connect(m_arm, &QPushButton::clicked, this, &TriggerBar::armed);
}

void TriggerBar::showChannels(const PlotState &state)
{
    const HistoryStore *h = state.history();
    QStringList names;
    for (int k = 0; h != nullptr && k < h->channelCount(); ++k) {
        names << QString::fromStdString(state.channelName(k));
    }
    QStringList shown;
    for (int k = 0; k < m_channel->count(); ++k) {
        shown << m_channel->itemText(k);
    }
    if (names != shown) {
        const int chosen = channel();
        m_channel->clear();
        m_channel->addItems(names);
        m_channel->setCurrentIndex(chosen < names.size() ? chosen : 0);
    }
    m_unit->setText(QString::fromStdString(state.units().unit(channel())));
}

void TriggerBar::showLevel(const PlotState &state, double raw)
{
    m_level->setText(QString::number(state.units().toUnits(channel(), raw), 'g', 6));
}

Trigger::Settings TriggerBar::settings(const PlotState &state)
{
    Trigger::Settings s;
    s.channel = channel();
    s.edge = edge();
    s.sweep = sweep();
    s.before = before();
    const HistoryStore *h = state.history();
    HistoryStore::MinMax span;
    if (h != nullptr && s.channel < h->channelCount()) {
        span = h->minMax(h->first(), h->end(), s.channel);
    }
    const bool finite = !span.empty() && std::isfinite(span.min) && std::isfinite(span.max);
    s.hysteresis = finite ? (span.max - span.min) / 50.0 : 0.0;
    if (const std::optional<double> typed = level()) {
        s.level = state.units().toRaw(s.channel, *typed);
    } else {
        s.level = finite ? (span.min + span.max) / 2.0 : 0.0;
        showLevel(state, s.level);
    }
    return s;
}

int TriggerBar::channel() const
{
    return std::max(0, m_channel->currentIndex());
}

std::optional<double> TriggerBar::level() const
{
    return ChannelUnits::number(m_level->text().trimmed().toStdString());
}

Trigger::Edge TriggerBar::edge() const
{
    return m_edge->currentIndex() == 0 ? Trigger::Edge::Rising : Trigger::Edge::Falling;
}

Trigger::Sweep TriggerBar::sweep() const
{
    return static_cast<Trigger::Sweep>(m_sweep->currentIndex());
}

double TriggerBar::before() const
{
    return m_before->value() / 100.0;
}

} // namespace adc
