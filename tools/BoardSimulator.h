#pragma once

#include "LineNoise.h"
#include "LineSource.h"
#include "ModeTable.h"
#include "Random.h"
#include "SignalSource.h"
#include "SimulatorOptions.h"

#include <cstdint>
#include <string>
#include <vector>

namespace adc {

/// The board's output, line by line: records of the chosen modes in turn, with a share of them
/// spoilt, and for each line whether a reader of each mode will accept it.
///
/// The lines depend on the options' modes, line ending, noise and seed only, so the same options
/// always give the same bytes.
class BoardSimulator : public LineSource {
public:
    explicit BoardSimulator(const SimulatorOptions &options);

    /// Appends the next line, ended by a line feed, to `out`.
    LineOutcome appendLine(std::string &out) override;

    /// Appends a good record of `mode` with `values` (one per channel), without a line end.
    static void appendRecord(Mode mode, const int *values, std::string &out);

private:
    /// What the board sends of one mode.
    struct Source {
        Mode mode;
        SignalSource signals;
        std::uint64_t samples = 0;
    };

    std::vector<Source> m_sources;
    std::size_t m_next = 0;
    std::string m_lineEnd;
    double m_noise;
    Random m_random;
    std::string m_record;
};

} // namespace adc
