#include "SendBox.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QVBoxLayout>

#include <string>

namespace adc {

SendBox::SendBox(Sender sender, QWidget *parent)
    : QWidget(parent), m_sender(std::move(sender)), m_edit(new QLineEdit(this)),
      m_ending(new QComboBox(this)), m_send(new QPushButton(tr("Send"), this)),
      m_note(new QLabel(this))
{
    m_edit->setPlaceholderText(tr("A line to send to the board"));
    m_edit->setToolTip(tr("Enter sends the line; the up and down arrows go through the lines "
                          "sent before"));
    for (const LineEnding ending : kLineEndings) {
        const std::string_view name = lineEndingName(ending);
        m_ending->addItem(QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())));
    }
    m_ending->setToolTip(tr("What goes after the line"));
    setEnding(LineEnding::Lf);
    m_send->setAutoDefault(false);
    m_note->setWordWrap(true);
    m_note->hide();

    auto *row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(m_edit, 1);
    row->addWidget(m_ending);
    row->addWidget(m_send);
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->addLayout(row);
    column->addWidget(m_note);

    m_edit->installEventFilter(this);
    connect(m_edit, &QLineEdit::returnPressed, this, &SendBox::send);
    connect(m_send, &QPushButton::clicked, this, &SendBox::send);
}

LineEnding SendBox::ending() const
{
    return kLineEndings[static_cast<std::size_t>(std::max(0, m_ending->currentIndex()))];
}

void SendBox::setEnding(LineEnding ending)
{
    m_ending->setCurrentIndex(static_cast<int>(ending));
}

bool SendBox::send()
{
    const QByteArray typed = m_edit->text().toUtf8();
    const std::string_view end = lineEndingBytes(ending());
    if (typed.isEmpty() && end.empty()) {
        return false;
    }
    const std::string bytes = typed.toStdString() + std::string(end);
    const QString why = m_sender(bytes);
    m_note->setText(why);
    m_note->setVisible(!why.isEmpty());
    if (!why.isEmpty()) {
        return false;
    }
    m_history.sent(typed.toStdString());
    m_edit->clear();
    return true;
}

bool SendBox::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_edit && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            const std::string typed = m_edit->text().toStdString();
            const std::string shown =
                key == Qt::Key_Up ? m_history.older(typed) : m_history.newer(typed);
            m_edit->setText(QString::fromStdString(shown));
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace adc
