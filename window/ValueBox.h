#pragma once

#include <QFont>
#include <QLineEdit>
#include <QRawFont>

#include <array>
#include <memory>

namespace adc {

/// A value box or the sample counter: a QLineEdit that, while nobody is editing it, paints its
/// text from glyphs looked up once per font instead of laying the text out again on every paint.
///
/// During a run every box is repainted with every frame. A plain QLineEdit measures its text's
/// bounding box and draws it through a text layout each time; for the short numbers a box shows
/// that is most of what a frame costs. The picture is the same pixel for pixel: the glyphs come
/// from the same font engine and land where the line edit's own layout puts them. Anything
/// else (focus, a selection, a text that needs scrolling or has letters of other kinds, another
/// alignment or a style sheet) is painted by QLineEdit itself.
class ValueBox : public QLineEdit {
    Q_OBJECT

public:
    explicit ValueBox(QWidget *parent = nullptr);
    explicit ValueBox(const QString &text, QWidget *parent = nullptr);
    ~ValueBox() override;

    /// Whether the last paint took the quick way (for tests).
    bool paintedQuickly() const { return m_quick; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    struct Glyphs;

    /// Whether the box shows its text plainly, as the quick way paints it.
    bool quickWayAllowed() const;
    bool paintGlyphs();
    Glyphs &glyphsOfFont();

    std::shared_ptr<Glyphs> m_glyphs;
    bool m_quick = false;
};

} // namespace adc
