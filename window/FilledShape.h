#pragma once

#include <QColor>
#include <QWidget>

namespace adc {

/// A plain rectangle filled with one colour and drawn without an outline.
class FilledShape : public QWidget {
    Q_OBJECT

public:
    explicit FilledShape(QColor fill, QWidget *parent = nullptr);

    /// The colour the rectangle is filled with.
    QColor fillColour() const { return m_fill; }
    /// Changes the fill colour and repaints when it differs.
    void setFillColour(QColor fill);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_fill;
};

} // namespace adc
