#include "BoxStyle.h"

#include <QLineEdit>
#include <QStyleFactory>

#include <gtest/gtest.h>

#include <memory>

namespace adc {
namespace {

/// A box as the window makes it, in `style`, painted off screen.
QImage boxImage(QStyle *style, const QString &text, QSize size, bool enabled)
{
    QLineEdit box(text);
    box.setStyle(style);
    box.setFont(QFont(QStringLiteral("Arial"), 9, QFont::Bold));
    box.resize(size);
    box.setEnabled(enabled);
    return box.grab().toImage();
}

TEST(BoxStyleTest, BoxesLookExactlyAsInTheWindowsStyleAndKeepLookingSo)
{
    const std::unique_ptr<QStyle> windows(QStyleFactory::create(QStringLiteral("Windows")));
    ASSERT_NE(windows, nullptr);
    BoxStyle copied;
    const QSize sizes[] = {{42, 18}, {57, 18}, {5, 3}};
    for (const QSize size : sizes) {
        for (const bool enabled : {true, false}) {
            const QImage expected = boxImage(windows.get(), QStringLiteral("0512"), size, enabled);
            // The first paint draws the panel, the next ones copy it.
            for (const QString &text : {QStringLiteral("0512"), QStringLiteral("1023")}) {
                const QImage fresh = boxImage(windows.get(), text, size, enabled);
                EXPECT_EQ(boxImage(&copied, text, size, enabled), fresh)
                    << size.width() << "x" << size.height() << " enabled " << enabled;
            }
            EXPECT_EQ(boxImage(&copied, QStringLiteral("0512"), size, enabled), expected);
        }
    }
}

} // namespace
} // namespace adc
