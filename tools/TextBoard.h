#pragma once

#include "LineSource.h"
#include "Random.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace adc {

/// A board that prints its sensors as text, as many sketches do: a line of numbers separated by
/// commas after a first line of names ("temp,hum,pres" then "22.00,45.00,1013.00"), or
/// `name:value` pairs ("temp:22.00,hum:45.00,pres:1013.00").
///
/// Each channel has a name ("temp", "hum", ... and, past the eighth, the same with a number:
/// "temp2") and a level of its own, and carries a sine, a ramp, a square wave or noise, in turn.
/// The lines depend on the format, the channel count and the seed only. The board's own readers
/// (INT and MCP3201) take none of them.
class TextBoard : public LineSource {
public:
    /// How the values are printed.
    enum class Format { Csv, KeyValue };
    /// The signal on a channel.
    enum class Shape { Sine, Ramp, Square, Noise };

    /// `channels` is held to 1 .. 32; each line ends with `lineEnd`.
    TextBoard(Format format, int channels, std::uint64_t seed, std::string_view lineEnd = "\r\n");

    /// Appends the next line: in CSV the names first, then one line of values per sample.
    LineOutcome appendLine(std::string &out) override;

    /// The channels' names, in order.
    const std::vector<std::string> &names() const { return m_names; }
    /// The signal channel `channel` carries.
    static Shape shapeOf(int channel) { return static_cast<Shape>(channel % 4); }

private:
    struct Channel {
        double centre;
        double amplitude;
        std::uint64_t period; ///< in samples
    };

    double valueAt(std::size_t channel);
    void appendValue(double value, std::string &out) const;

    Format m_format;
    std::string m_lineEnd;
    Random m_random;
    std::vector<std::string> m_names;
    std::vector<Channel> m_channels;
    std::uint64_t m_sample = 0;
    bool m_namesSent = false;
};

} // namespace adc
