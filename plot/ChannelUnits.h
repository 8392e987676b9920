#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace adc {

/// What the user calls each channel and how its counts read in units: a name, a gain and an
/// offset (units = counts x gain + offset, e.g. 5/1023 V per count) and the unit's text. A
/// channel nobody set keeps its own name (from the run), gain 1, offset 0 and no unit. The
/// recording and what is published keep the raw values; only what the scope shows is in units.
class ChannelUnits {
public:
    /// The most channels a run has (a text format's).
    static constexpr int kMostChannels = 32;

    /// One channel's settings.
    struct Channel {
        std::string name; ///< empty: the run's name for it
        double gain = 1.0;
        double offset = 0.0;
        std::string unit; ///< empty: counts
        bool operator==(const Channel &) const = default;
    };

    /// One `--channel N:NAME:GAIN:OFFSET:UNIT`: the channel and the fields given (an empty
    /// field keeps what the channel has).
    struct Setting {
        int channel = 0;
        std::optional<std::string> name;
        std::optional<double> gain;
        std::optional<double> offset;
        std::optional<std::string> unit;
        bool operator==(const Setting &) const = default;
    };

    /// Reads `N:NAME:GAIN:OFFSET:UNIT` (trailing fields may be left out); N counts from 0 as the
    /// recording's columns ch0, ch1 ... do; GAIN may be a fraction ("5/1023"), not 0. None, with
    /// `error` saying why in a sentence, for anything else.
    static std::optional<Setting> parse(std::string_view text, std::string &error);

    /// A finite number as a GAIN or OFFSET field takes it ("-2.5", "5/1023"); none otherwise.
    static std::optional<double> number(std::string_view text);

    /// Applies the fields `setting` gives.
    void apply(const Setting &setting);
    /// Sets channel `channel` (0 <= channel < kMostChannels) as a whole.
    void set(int channel, const Channel &settings);
    /// Channel `channel`'s settings (the defaults for one never set).
    const Channel &channel(int channel) const;
    /// Whether no channel differs from the defaults.
    bool isDefault() const;
    bool operator==(const ChannelUnits &other) const;

    /// `raw` of channel `channel` in its units, and back.
    double toUnits(int channel, double raw) const;
    double toRaw(int channel, double value) const;
    /// Whether channel `channel` reads in anything but counts.
    bool scaled(int channel) const;
    /// The channel's name: the one set, else `runName`.
    std::string name(int channel, std::string_view runName) const;
    /// The channel's unit text, empty for counts.
    const std::string &unit(int channel) const { return this->channel(channel).unit; }
    /// Whether channels `a` and `b` read the same values in the same unit.
    bool sameScale(int a, int b) const;

private:
    std::vector<Channel> m_channels; ///< grown as channels are set
};

} // namespace adc
