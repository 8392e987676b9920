#pragma once

#include <QPixmap>
#include <QProxyStyle>
#include <QSize>

#include <vector>

namespace adc {

/// The style of the value boxes and the counter: Qt's "Windows" style (a plain sunken frame),
/// with a box's panel drawn once per size and look and then copied.
///
/// The boxes are repainted with every frame of a run while only their text changes; the frame's
/// four shaded lines cost more to draw than the text itself.
class BoxStyle : public QProxyStyle {
    Q_OBJECT

public:
    BoxStyle();

    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget = nullptr) const override;

private:
    /// A drawn panel and what it was drawn for.
    struct Panel {
        QSize size;
        int state = 0;
        int lineWidth = 0;
        qint64 palette = 0;
        qreal ratio = 1;
        QPixmap pixmap;
    };

    mutable std::vector<Panel> m_panels;
};

} // namespace adc
