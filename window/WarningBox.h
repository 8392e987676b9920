#pragma once

#include <QString>

class QMessageBox;
class QWidget;

namespace adc {

/// The warnings a window shows about a failure: a box over the window with the window's title,
/// not modal (the window's own buttons still work while it is up), deleted when closed and gone
/// with the window.
class WarningBox {
public:
    /// Opens a box with `message` over `window` and returns it.
    static QMessageBox *open(QWidget &window, const QString &message);
};

} // namespace adc
