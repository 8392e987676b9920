#pragma once

#include "LineEnding.h"
#include "SendHistory.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QString>
#include <QWidget>

#include <functional>
#include <string_view>

namespace adc {

/// A line back to the board: what the user types, with the chosen ending (none, LF, CR, CR LF),
/// goes to the port when Send is pressed or Enter typed, and nothing is sent otherwise. The up
/// and down arrows go through the lines sent before. When a line cannot go, the box says why
/// and keeps it.
class SendBox : public QWidget {
    Q_OBJECT

public:
    /// Writes `bytes` to the board; returns why they could not go, empty when they went.
    using Sender = std::function<QString(std::string_view bytes)>;

    explicit SendBox(Sender sender, QWidget *parent = nullptr);

    QLineEdit *edit() const { return m_edit; }
    QComboBox *endingChoice() const { return m_ending; }
    QPushButton *sendButton() const { return m_send; }
    /// Why the last line could not go; empty after a line went.
    QLabel *note() const { return m_note; }

    LineEnding ending() const;
    void setEnding(LineEnding ending);

    /// What Send and Enter do: the text typed and the ending to the board. False, with the note
    /// saying why, when nothing went.
    bool send();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    Sender m_sender;
    SendHistory m_history;
    QLineEdit *m_edit;
    QComboBox *m_ending;
    QPushButton *m_send;
    QLabel *m_note;
};

} // namespace adc
