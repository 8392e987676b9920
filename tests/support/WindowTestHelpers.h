#pragma once

#include "ModeTable.h"

#include <QAbstractButton>
#include <QApplication>
#include <QColor>
#include <QDeadlineTimer>
#include <QImage>
#include <QMessageBox>
#include <QRect>
#include <QTest>

namespace adc::test {

/// Runs the event loop until `condition` holds or `timeoutMs` have passed; whether it held.
template <typename Condition> bool waitUntil(Condition condition, int timeoutMs = 5000)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QTest::qWait(5);
    }
    return true;
}

/// Pixels of `image` inside `area` that are not white.
inline int inkPixels(const QImage &image, QRect area)
{
    area = area.intersected(image.rect());
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (image.pixelColor(x, y) != QColor(Qt::white)) {
                ++count;
            }
        }
    }
    return count;
}

inline int inkPixels(const QImage &image)
{
    return inkPixels(image, image.rect());
}

/// The trace colour of `channel` in `mode`, as the chart shows it.
inline QColor colourOf(Mode mode, int channel)
{
    const Colour c = channelColour(mode, channel);
    return QColor(int(c & 0xff), int((c >> 8) & 0xff), int((c >> 16) & 0xff));
}

/// The chart's pixel row of INT value v: ordinate (2047 - 3v) + 2000 twips, 15 twips to the pixel.
inline int intRow(int v)
{
    return ((2047 - 3 * v) + 2000) / 15;
}

/// Pixels of `image` that have exactly the colour `colour`.
inline int pixelsOf(const QImage &image, QColor colour)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixelColor(x, y) == colour) {
                ++count;
            }
        }
    }
    return count;
}

/// Message boxes open on screen.
inline int visibleMessageBoxes()
{
    int n = 0;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (qobject_cast<QMessageBox *>(w) != nullptr && w->isVisible()) {
            ++n;
        }
    }
    return n;
}

/// Closes every message box open on screen, as the user's OK would.
inline void closeMessageBoxes()
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *box = qobject_cast<QMessageBox *>(w); box != nullptr && box->isVisible()) {
            // Read and dismissed with OK: a close request to a message ends the program.
            box->button(QMessageBox::Ok)->click();
        }
    }
    QTest::qWait(1);
}

} // namespace adc::test
