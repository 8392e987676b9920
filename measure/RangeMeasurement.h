#pragma once

#include "ChannelUnits.h"
#include "HistoryStore.h"

#include <cstdint>
#include <optional>

namespace adc {

/// The figures of one channel over a range of records, in the channel's units.
struct Measurement {
    int channel = 0;
    /// Records in the range; the figures below are of their finite values (a saturated value
    /// shows in the maximum only).
    std::int64_t records = 0;
    double min = 0;
    double max = 0;
    double mean = 0;
    /// The standard deviation of the values about their mean (the population's, over n).
    double std = 0;
    double rms = 0;
    double peakToPeak = 0;
    /// Hertz, from crossings of the mean; none when the range shows no periodic signal.
    std::optional<double> frequency;
};

/// Measures channels of a history over records [from, to) (clamped to those kept). The minimum
/// and maximum come from the index (to a float's precision, about seven digits), the mean,
/// standard deviation and RMS from its sums: a range of any length costs one visit per level
/// plus its two ends. The frequency reads records, at most kMaxReads of them: a longer range is
/// read in kWindows windows spread over it, and if they hold no whole periods, as the means of
/// at most kMaxBlocks index blocks that span the range (finding periods of four blocks or more).
class RangeMeasurement {
public:
    static constexpr std::int64_t kMaxReads = 1 << 16;
    static constexpr std::int64_t kWindows = 4;
    static constexpr std::int64_t kMaxBlocks = 1 << 13;

    /// `units` may be null: the figures are then in counts.
    RangeMeasurement(const HistoryStore &history, const ChannelUnits *units = nullptr)
        : m_history(history), m_units(units)
    {
    }

    /// The figures of `channel` in records [from, to); no records for a channel the history
    /// does not have.
    Measurement measure(std::int64_t from, std::int64_t to, int channel) const;

private:
    std::optional<double> frequency(std::int64_t from, std::int64_t to, int channel, double mean,
                                    double std) const;
    std::optional<double> frequencyOfBlocks(std::int64_t from, std::int64_t to, int channel,
                                            double mean, double band) const;
    void toUnits(Measurement &m, double meanSquare) const;

    const HistoryStore &m_history;
    const ChannelUnits *m_units;
};

} // namespace adc
