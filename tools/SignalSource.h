#pragma once

#include "ModeTable.h"
#include "Random.h"

#include <cstdint>
#include <span>
#include <vector>

namespace adc {

/// The signals on the board's inputs: per channel a sine, triangle, ramp or square wave with its
/// own period, phase and level, plus a little noise, so that the traces are easy to tell apart.
class SignalSource {
public:
    /// The waveform shapes, taken by the channels in turn.
    enum class Shape { Sine, Triangle, Ramp, Square };

    explicit SignalSource(Mode mode);

    /// The values of all channels at sample `index`, noise included, in 0 .. full scale.
    /// `values` must hold an entry per channel of the mode.
    void sample(std::uint64_t index, Random &random, std::span<int> values) const;

private:
    struct Channel {
        Shape shape;
        std::uint64_t period; ///< in samples
        std::uint64_t offset; ///< phase, in samples
        double centre;
        double amplitude;
    };

    std::vector<Channel> m_channels;
    int m_fullScale;
    int m_noise; ///< largest noise step either way
};

} // namespace adc
