#pragma once

#include "PlotState.h"
#include "Trigger.h"

#include <QWidget>

#include <optional>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace adc {

/// The trigger's controls in a row: the channel, the level (typed in the channel's units; it
/// can also be dragged on the plot's value axis), the edge, the sweep (auto, normal, single,
/// with a button to arm a single one again) and the share of the stretch before the trigger.
class TriggerBar : public QWidget {
    Q_OBJECT

public:
    explicit TriggerBar(QWidget *parent = nullptr);

    /// The channels of what `state` shows to choose from (the choice stays when it still
    /// exists), the level's unit.
    void showChannels(const PlotState &state);
    /// Shows the level `raw` (counts) in the chosen channel's units of `state`.
    void showLevel(const PlotState &state, double raw);
    /// The trigger the controls set for what `state` shows: the level in counts (when none is
    /// typed, the middle of the channel's values so far, now shown), the hysteresis a fiftieth
    /// of the channel's span.
    Trigger::Settings settings(const PlotState &state);

    int channel() const;
    /// The level typed, in units; none while it is not a number.
    std::optional<double> level() const;
    Trigger::Edge edge() const;
    Trigger::Sweep sweep() const;
    /// The share of the stretch before the trigger, 0 to 1.
    double before() const;

    QComboBox *channelChoice() const { return m_channel; }
    QLineEdit *levelField() const { return m_level; }
    QComboBox *sweepChoice() const { return m_sweep; }

signals:
    /// A control changed.
    void changed();
    /// The single sweep is to wait for its next trigger.
    void armed();

private:
    QComboBox *m_channel;
    QLineEdit *m_level;
    QLabel *m_unit;
    QComboBox *m_edge;
    QComboBox *m_sweep;
    QSpinBox *m_before;
    QPushButton *m_arm;
};

} // namespace adc
