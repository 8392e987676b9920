#include "MeasurementPanel.h"

#include "MeasurementTable.h"
#include "RangeMeasurement.h"

#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>

#include <algorithm>
#include <cmath>

namespace adc {

MeasurementPanel::MeasurementPanel(QWidget *parent)
    : QWidget(parent), m_text(new QPlainTextEdit(this)), m_copy(new QPushButton(tr("Copy"), this))
{
    m_text->setReadOnly(true);
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_copy->setToolTip(tr("Copy the measurements as text"));
    m_copy->setFocusPolicy(Qt::NoFocus);
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(m_text, 1);
    row->addWidget(m_copy, 0, Qt::AlignTop);
    connect(m_copy, &QPushButton::clicked, this,
            [this] { QApplication::clipboard()->setText(text()); });
    fitHeight(3);
}

QString MeasurementPanel::text() const
{
    return m_text->toPlainText();
}

void MeasurementPanel::fitHeight(int lines)
{
    const int frame = 2 * m_text->frameWidth() +
                      2 * static_cast<int>(std::ceil(m_text->document()->documentMargin())) + 2;
    m_text->setFixedHeight(m_text->fontMetrics().lineSpacing() * std::clamp(lines, 3, 10) + frame);
}

void MeasurementPanel::measure(const PlotState &state)
{
    const HistoryStore *h = state.history();
    if (m_text->textCursor().hasSelection()) {
        return;
    }
    Key key{h, 0, 0, 0, state.hiddenChannels(), state.units(), {}};
    QString where = tr("In view");
    if (h != nullptr) {
        std::tie(key.from, key.to) = state.recordsInView();
        const auto a = state.marker(PlotState::Marker::A);
        const auto b = state.marker(PlotState::Marker::B);
        if (a && b) {
            key.from = std::min(*a, *b);
            key.to = std::max(*a, *b) + 1;
            where = tr("Between markers A and B");
        }
        key.first = h->first();
        key.names = h->names();
    }
    if (key == m_key && !m_text->document()->isEmpty()) {
        return;
    }
    m_key = key;
    const MeasurementTable table(MeasurementTable::Style::Table);
    std::string rows = table.header();
    int lines = 2;
    for (int k = 0; h != nullptr && k < h->channelCount(); ++k) {
        if (state.channelShown(k)) {
            const RangeMeasurement measurement(*h, &state.units());
            rows += table.row(measurement.measure(key.from, key.to, k),
                              MeasurementTable::label(&state.units(), k, state.channelName(k)));
            ++lines;
        }
    }
    const std::int64_t records = std::max<std::int64_t>(
        0, std::min(key.to, h != nullptr ? h->end() : 0) - std::max(key.from, key.first));
    m_text->setPlainText(tr("%1: %2 records").arg(where, QLocale().toString(records)) +
                         QLatin1Char('\n') + QString::fromStdString(rows).trimmed());
    fitHeight(lines);
}

} // namespace adc
