#include "WarningBox.h"

#include <QMessageBox>
#include <QWidget>

namespace adc {

QMessageBox *WarningBox::open(QWidget &window, const QString &message)
{
    auto *box = new QMessageBox(QMessageBox::Warning, window.windowTitle(), message,
                                QMessageBox::Ok, &window);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->show();
    return box;
}

} // namespace adc
