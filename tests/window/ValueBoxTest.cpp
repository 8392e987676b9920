#include "ValueBox.h"
#include "BoxStyle.h"

#include <QFont>
#include <QFontMetricsF>

#include <gtest/gtest.h>

namespace adc {
namespace {

/// `box` set up as the window sets up its boxes, painted off screen.
QImage painted(QLineEdit &box, const QFont &font, QSize size, const QString &text)
{
    static BoxStyle style;
    box.setStyle(&style);
    box.setFont(font);
    box.resize(size);
    box.setText(text);
    box.setCursorPosition(0);
    return box.grab().toImage();
}

TEST(ValueBoxTest, PaintsNumbersPixelForPixelAsALineEditWithoutLayingThemOut)
{
    const QFont values(QStringLiteral("Arial"), 9, QFont::Bold);
    const QFont counter(QStringLiteral("Arial"), 8);
    // Every digit after every other one (kerning), signs, points, exponents and a text that
    // fills the box exactly or overflows it.
    QStringList texts = {QStringLiteral("0"),        QStringLiteral("-1.5e+3"),
                         QStringLiteral("1,023"),    QStringLiteral("4.99 E-2"),
                         QStringLiteral("11111111"), QStringLiteral("123456789012345678"),
                         QStringLiteral("0856\r")};
    for (int d = 0; d < 10; ++d) {
        texts << QStringLiteral("%1012345678910").arg(d).left(11);
    }
    for (const QSize size : {QSize(57, 18), QSize(90, 21)}) {
        for (const QFont &font : {values, counter}) {
            for (const QString &text : texts) {
                QLineEdit plain;
                ValueBox quick;
                const QImage expected = painted(plain, font, size, text);
                EXPECT_EQ(painted(quick, font, size, text), expected)
                    << text.toStdString() << " in " << size.width();
                // A text wider than the room within the frame (2) and margins (2) is scrolled.
                const bool fits =
                    qRound(QFontMetricsF(font).horizontalAdvance(text)) + 1 <= size.width() - 8;
                EXPECT_EQ(quick.paintedQuickly(), fits) << text.toStdString();
            }
        }
    }
}

TEST(ValueBoxTest, LeavesEditingAndOtherTextsToTheLineEdit)
{
    const QFont font(QStringLiteral("Arial"), 9, QFont::Bold);
    ValueBox box;
    QLineEdit plain;
    for (const QString &text : {QStringLiteral("Port"), QStringLiteral("12\t"), QString()}) {
        EXPECT_EQ(painted(box, font, {57, 18}, text), painted(plain, font, {57, 18}, text));
        EXPECT_FALSE(box.paintedQuickly()) << text.toStdString();
    }
    box.setText(QStringLiteral("512"));
    box.setSelection(0, 2);
    box.grab();
    EXPECT_FALSE(box.paintedQuickly());
    box.deselect();
    box.setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    box.grab();
    EXPECT_FALSE(box.paintedQuickly());
}

} // namespace
} // namespace adc
