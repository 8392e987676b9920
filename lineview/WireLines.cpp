#include "WireLines.h"

#include "WireLog.h"

#include <QFontDatabase>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

namespace adc {

namespace {

/// Characters of the number and verdict columns, and the blanks after each.
constexpr int kNumberColumn = 8;
constexpr int kVerdictColumn = 24;
constexpr int kGap = 2;
/// Room after the kept characters for the note of a line cut.
constexpr int kCutNote = 24;

/// The row's parts, as drawn.
struct Row {
    QString number;
    QString verdict;
    QString line;
};

/// The line as text, each control character as its picture (U+2400 on) so that the row stays
/// one row and shows what came.
QString shownLine(const WireLog::Entry &entry)
{
    QString line = QString::fromUtf8(entry.text.data(), static_cast<qsizetype>(entry.text.size()));
    for (QChar &c : line) {
        if (c.unicode() < 0x20) {
            c = QChar(0x2400 + c.unicode());
        } else if (c.unicode() == 0x7f) {
            c = QChar(0x2421);
        }
    }
    if (entry.cut()) {
        line += WireLines::tr(" ... (%1 characters)").arg(entry.length);
    }
    return line;
}

Row partsOf(const WireLog::Entry &entry)
{
    return {QString::number(entry.number).rightJustified(kNumberColumn),
            QString::fromLatin1(entry.verdict.text().data(),
                                static_cast<qsizetype>(entry.verdict.text().size())),
            shownLine(entry)};
}

/// The row's background and the colour of its verdict.
std::pair<QColor, QColor> coloursOf(LineVerdict verdict, const QPalette &palette)
{
    switch (verdict.kind) {
    case LineVerdict::Kind::Taken:
        return {palette.color(QPalette::Base), QColor(0, 110, 0)};
    case LineVerdict::Kind::Names:
        return {QColor(228, 238, 255), QColor(0, 60, 170)};
    case LineVerdict::Kind::Skipped:
        return {QColor(236, 236, 236), QColor(100, 100, 100)};
    case LineVerdict::Kind::Dropped:
        break;
    }
    return {QColor(255, 226, 226), QColor(170, 0, 0)};
}

} // namespace

WireLines::WireLines(const WireLog &log, QWidget *parent) : QAbstractScrollArea(parent), m_log(log)
{
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    const QFontMetrics metrics(font());
    m_rowHeight = std::max(1, metrics.lineSpacing());
    m_charWidth = std::max(1, metrics.horizontalAdvance(QLatin1Char('0')));
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    viewport()->setBackgroundRole(QPalette::Base);
    refresh();
}

void WireLines::refresh()
{
    const std::int64_t newest = m_log.size() > 0 ? m_log.entry(m_log.size() - 1).number : 0;
    if (newest == m_shownTotal && m_shownSize == m_log.size()) {
        return;
    }
    m_shownTotal = newest;
    m_shownSize = m_log.size();
    m_adjusting = true;
    updateScrollBars();
    QScrollBar *bar = verticalScrollBar();
    bar->setValue(m_following ? bar->maximum() : static_cast<int>(rowOf(m_topNumber)));
    m_adjusting = false;
    viewport()->update();
}

QString WireLines::rowText(std::size_t index) const
{
    const Row row = partsOf(m_log.entry(index));
    const QString gap(kGap, QLatin1Char(' '));
    return row.number + gap + row.verdict.leftJustified(kVerdictColumn) + gap + row.line;
}

std::size_t WireLines::rowOf(std::int64_t number) const
{
    std::size_t low = 0;
    std::size_t high = m_log.size();
    while (low < high) {
        const std::size_t middle = low + (high - low) / 2;
        if (m_log.entry(middle).number < number) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    return low;
}

void WireLines::updateScrollBars()
{
    const int rows = std::max(1, viewport()->height() / m_rowHeight);
    QScrollBar *bar = verticalScrollBar();
    bar->setRange(0, std::max(0, static_cast<int>(m_log.size()) - rows));
    bar->setPageStep(rows);
    bar->setSingleStep(1);
    const int width = (kNumberColumn + kVerdictColumn + 2 * kGap +
                       static_cast<int>(WireLog::kKeptCharacters) + kCutNote) *
                      m_charWidth;
    horizontalScrollBar()->setRange(0, std::max(0, width - viewport()->width()));
    horizontalScrollBar()->setPageStep(viewport()->width());
    horizontalScrollBar()->setSingleStep(m_charWidth * 4);
}

void WireLines::paintEvent(QPaintEvent *event)
{
    QPainter painter(viewport());
    painter.fillRect(event->rect(), palette().color(QPalette::Base));
    const int first = verticalScrollBar()->value();
    const int left = m_charWidth / 2 - horizontalScrollBar()->value();
    const int verdictAt = left + (kNumberColumn + kGap) * m_charWidth;
    const int lineAt = verdictAt + (kVerdictColumn + kGap) * m_charWidth;
    const int ascent = QFontMetrics(font()).ascent();
    const int rows = viewport()->height() / m_rowHeight + 1;
    for (int r = 0; r < rows && first + r < static_cast<int>(m_log.size()); ++r) {
        const WireLog::Entry entry = m_log.entry(static_cast<std::size_t>(first + r));
        const auto [background, verdictColour] = coloursOf(entry.verdict, palette());
        const int top = r * m_rowHeight;
        painter.fillRect(QRect(0, top, viewport()->width(), m_rowHeight), background);
        const Row row = partsOf(entry);
        painter.setPen(palette().color(QPalette::PlaceholderText));
        painter.drawText(left, top + ascent, row.number);
        painter.setPen(verdictColour);
        painter.drawText(verdictAt, top + ascent, row.verdict);
        painter.setPen(palette().color(QPalette::Text));
        painter.drawText(lineAt, top + ascent, row.line);
    }
}

void WireLines::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    m_adjusting = true;
    updateScrollBars();
    if (m_following) {
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    }
    m_adjusting = false;
}

void WireLines::scrollContentsBy(int, int)
{
    viewport()->update();
    if (m_adjusting) {
        return;
    }
    const QScrollBar *bar = verticalScrollBar();
    m_following = bar->value() == bar->maximum();
    const auto top = static_cast<std::size_t>(bar->value());
    m_topNumber = top < m_log.size() ? m_log.entry(top).number : 0;
}

} // namespace adc
