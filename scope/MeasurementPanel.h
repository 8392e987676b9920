#pragma once

#include "ChannelUnits.h"
#include "PlotState.h"

#include <QWidget>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

class QPlainTextEdit;
class QPushButton;

namespace adc {

/// The measurements under the plot: per shown channel, over the records between markers A and B
/// (or those in view when both are not set), the number of records, minimum, maximum, mean,
/// standard deviation, RMS, peak-to-peak and frequency, in the channel's units, as a table of
/// text that can be selected and copied (or copied whole with its button).
class MeasurementPanel : public QWidget {
    Q_OBJECT

public:
    explicit MeasurementPanel(QWidget *parent = nullptr);

    /// Measures what `state` shows, unless that is what was measured last. While the user has
    /// text selected, the table stays as it is.
    void measure(const PlotState &state);
    /// The table as shown.
    QString text() const;

private:
    void fitHeight(int lines);

    QPlainTextEdit *m_text;
    QPushButton *m_copy;
    /// What was measured last.
    struct Key {
        const HistoryStore *history = nullptr;
        std::int64_t from = 0, to = 0, first = 0;
        std::array<bool, HistoryStore::kMaxStoreChannels> hidden{};
        ChannelUnits units;
        std::vector<std::string> names;
        bool operator==(const Key &) const = default;
    };
    Key m_key;
};

} // namespace adc
