#pragma once

#include "ChannelUnits.h"

#include <QDialog>
#include <QString>
#include <QStringList>

#include <array>

#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;
class QSettings;

namespace adc {

/// The scope's channel settings: per channel its name, gain, offset and unit. OK uses them for
/// this session; Keep uses them and keeps them for the next (the only time they are written).
class ChannelDialog : public QDialog {
    Q_OBJECT

public:
    /// Edits `units` for channels named `runNames` by the run.
    ChannelDialog(const ChannelUnits &units, const QStringList &runNames,
                  QWidget *parent = nullptr);

    /// What the fields say; valid once accepted.
    const ChannelUnits &units() const { return m_units; }
    /// Whether Keep closed the dialog.
    bool keep() const { return m_keep; }
    QLineEdit *field(int channel, int column) const;
    QPushButton *keepButton() const { return m_keepButton; }

    /// The channel settings kept in `settings` (none: the defaults).
    static ChannelUnits kept(QSettings &settings);
    /// Keeps `units` in `settings`, in place of what was kept.
    static void keepIn(QSettings &settings, const ChannelUnits &units);

private:
    bool read();
    void finish(bool keep);

    /// Per channel: name, gain, offset, unit.
    std::vector<std::array<QLineEdit *, 4>> m_fields;
    QLabel *m_problem;
    QPushButton *m_keepButton;
    ChannelUnits m_units;
    bool m_keep = false;
};

} // namespace adc
