#pragma once

#include <QAbstractScrollArea>
#include <QString>

#include <cstddef>
#include <cstdint>

namespace adc {

class WireLog;

/// The lines of a wire log, one row each, newest at the bottom: the line's number, what became
/// of it and its text, control characters shown as their pictures. Dropped lines stand out in
/// red, names in blue, lines passed over in grey.
///
/// Only the rows in sight are drawn, straight from the log. refresh() looks at the log: nothing
/// is done when no line came since. At the bottom the view follows the newest line; scrolled up,
/// it keeps the same lines in sight while new ones come (until they leave the log).
class WireLines : public QAbstractScrollArea {
    Q_OBJECT

public:
    explicit WireLines(const WireLog &log, QWidget *parent = nullptr);

    /// Takes in the lines added to the log since the last refresh, if any.
    void refresh();
    /// Row `index` (0 the oldest line kept) as text: number, verdict and the line.
    QString rowText(std::size_t index) const;
    /// Whether the view follows the newest line.
    bool following() const { return m_following; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void updateScrollBars();
    /// The first row whose line number is `number` or later.
    std::size_t rowOf(std::int64_t number) const;

    const WireLog &m_log;
    /// The newest line's number and the count of lines when last refreshed.
    std::int64_t m_shownTotal = -1;
    std::size_t m_shownSize = 0;
    bool m_following = true;
    /// The line at the top of the view while not following.
    std::int64_t m_topNumber = 0;
    /// Set while the scroll bars are moved here rather than by the user.
    bool m_adjusting = false;
    int m_rowHeight = 1;
    int m_charWidth = 1;
};

} // namespace adc
