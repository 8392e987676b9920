#include "ValueBox.h"

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <vector>

namespace adc {

namespace {

/// The characters painted the quick way: what numbers and the counter are made of. None of them
/// forms a ligature with another; kerning between them is measured.
constexpr char kPlain[] = "0123456789.,+- eE";
constexpr int kPlainCount = sizeof kPlain - 1;

/// Index of `c` in kPlain, or -1.
int plainIndex(QChar c)
{
    // A line edit shows control characters but the tab as spaces (a record's carriage return).
    if (c.unicode() < 0x20 && c.unicode() != '\t') {
        c = QLatin1Char(' ');
    }
    if (c.unicode() == 0 || c.unicode() > 127) {
        return -1;
    }
    const char *at = std::strchr(kPlain, static_cast<char>(c.unicode()));
    return at == nullptr ? -1 : static_cast<int>(at - kPlain);
}

/// What QLineEdit keeps between its contents and its text on the left and on the right.
constexpr int kHorizontalMargin = 2;

} // namespace

/// The glyphs of kPlain in one font, where the box's text layout would put them.
struct ValueBox::Glyphs {
    QFont font;
    QRawFont raw;
    bool usable = false;
    qreal ascent = 0;
    int height = 0;
    std::array<quint32, kPlainCount> index{};
    std::array<qreal, kPlainCount> advance{};
    /// Extra room between two characters (negative: kerned closer); NaN until measured.
    std::array<qreal, kPlainCount * kPlainCount> kerning{};

    explicit Glyphs(const QFont &f) : font(f), raw(QRawFont::fromFont(f))
    {
        kerning.fill(std::numeric_limits<qreal>::quiet_NaN());
        const QFontMetricsF metrics(font);
        const QFontMetrics whole(font);
        ascent = metrics.ascent();
        height = whole.height();
        const QString plain = QString::fromLatin1(kPlain);
        // A font whose glyphs reach beyond its line height makes QLineEdit move the text.
        usable = raw.isValid() && whole.boundingRect(plain).height() <= height &&
                 (font.stretch() == QFont::AnyStretch || font.stretch() == QFont::Unstretched);
        const QList<quint32> indexes = raw.glyphIndexesForString(plain);
        for (int i = 0; usable && i < kPlainCount; ++i) {
            usable = i < indexes.size() && indexes[i] != 0;
            index[static_cast<std::size_t>(i)] = usable ? indexes[i] : 0;
            advance[static_cast<std::size_t>(i)] = metrics.horizontalAdvance(plain.mid(i, 1));
        }
    }

    /// Puts the glyphs of `shown` into `run` where the layout puts them, as it would: advances
    /// and kerning, left to right. Returns their width; none when a character is not in kPlain.
    std::optional<qreal> layOut(const QString &shown, QGlyphRun &run)
    {
        QList<quint32> indexes(shown.size());
        QList<QPointF> positions(shown.size());
        qreal x = 0;
        int previous = -1;
        for (qsizetype i = 0; i < shown.size(); ++i) {
            const int c = plainIndex(shown[i]);
            if (c < 0) {
                return std::nullopt;
            }
            if (previous >= 0) {
                x += kerningOf(previous, c);
            }
            indexes[i] = index[static_cast<std::size_t>(c)];
            positions[i] = QPointF(x, 0);
            x += advance[static_cast<std::size_t>(c)];
            previous = c;
        }
        run.setRawFont(raw);
        run.setGlyphIndexes(indexes);
        run.setPositions(positions);
        return x;
    }

    qreal kerningOf(int first, int second)
    {
        qreal &k = kerning[static_cast<std::size_t>(first * kPlainCount + second)];
        if (std::isnan(k)) {
            const char pair[] = {kPlain[first], kPlain[second], 0};
            k = QFontMetricsF(font).horizontalAdvance(QString::fromLatin1(pair)) -
                advance[static_cast<std::size_t>(first)] -
                advance[static_cast<std::size_t>(second)];
        }
        return k;
    }
};

ValueBox::ValueBox(QWidget *parent) : QLineEdit(parent) {}

ValueBox::ValueBox(const QString &text, QWidget *parent) : QLineEdit(text, parent) {}

ValueBox::~ValueBox() = default;

void ValueBox::paintEvent(QPaintEvent *event)
{
    m_quick = paintGlyphs();
    if (!m_quick) {
        QLineEdit::paintEvent(event);
    }
}

ValueBox::Glyphs &ValueBox::glyphsOfFont()
{
    if (m_glyphs && m_glyphs->font == font()) {
        return *m_glyphs;
    }
    // The boxes share a font or two: each is measured once.
    static std::vector<std::shared_ptr<Glyphs>> known;
    constexpr std::size_t kMostFonts = 8;
    const auto same = [this](const std::shared_ptr<Glyphs> &g) { return g->font == font(); };
    auto found = std::find_if(known.begin(), known.end(), same);
    if (found == known.end()) {
        if (known.size() >= kMostFonts) {
            known.clear();
        }
        known.push_back(std::make_shared<Glyphs>(font()));
        found = known.end() - 1;
    }
    m_glyphs = *found;
    return *m_glyphs;
}

bool ValueBox::quickWayAllowed() const
{
    const Qt::Alignment horizontal = alignment() & Qt::AlignHorizontal_Mask;
    const Qt::Alignment vertical = alignment() & Qt::AlignVertical_Mask;
    return !text().isEmpty() && !hasFocus() && !hasSelectedText() && echoMode() == Normal &&
           inputMask().isEmpty() && layoutDirection() == Qt::LeftToRight &&
           !testAttribute(Qt::WA_StyleSheet) && !isClearButtonEnabled() && actions().isEmpty() &&
           (horizontal == Qt::AlignLeft || horizontal == Qt::AlignLeading) &&
           (vertical == Qt::AlignVCenter || vertical == 0);
}

bool ValueBox::paintGlyphs()
{
    if (!quickWayAllowed()) {
        return false;
    }
    Glyphs &glyphs = glyphsOfFont();
    QGlyphRun run;
    const std::optional<qreal> width = glyphs.usable ? glyphs.layOut(text(), run) : std::nullopt;
    if (!width) {
        return false;
    }
    QStyleOptionFrame panel;
    initStyleOption(&panel);
    const QRect r = style()
                        ->subElementRect(QStyle::SE_LineEditContents, &panel, this)
                        .marginsRemoved(textMargins());
    const int top = r.y() + (r.height() - glyphs.height + 1) / 2;
    const QRect line(r.x() + kHorizontalMargin, top, r.width() - 2 * kHorizontalMargin,
                     glyphs.height);
    if (qRound(*width) + 1 > line.width()) {
        return false; // QLineEdit scrolls such a text to keep its cursor in sight
    }

    QPainter painter(this);
    style()->drawPrimitive(QStyle::PE_PanelLineEdit, &panel, &painter, this);
    painter.setClipRect(r);
    painter.setPen(palette().text().color());
    painter.drawGlyphRun(QPointF(line.x(), line.y() + glyphs.ascent), run);
    return true;
}

} // namespace adc
