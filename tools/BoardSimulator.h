#pragma once

#include "BoardFormat.h"
#include "LineNoise.h"
#include "LineSource.h"
#include "Random.h"
#include "SignalSource.h"
#include "SimulatorOptions.h"

#include <cstdint>
#include <string>

namespace adc {

/// The board's output, line by line: records of the chosen kinds in turn, with a share of them
/// spoilt, and for each line whether a reader of each mode will accept it.
///
/// The lines depend on the options' mode, line ending, noise and seed only, so the same options
/// always give the same bytes.
class BoardSimulator : public LineSource {
public:
    explicit BoardSimulator(const SimulatorOptions &options);

    /// Appends the next line, ended by a line feed, to `out`.
    LineOutcome appendLine(std::string &out) override;

    /// Appends a good record of `kind` with `values` (one per channel), without a line end.
    static void appendRecord(RecordKind kind, const int *values, std::string &out);

private:
    RecordKind nextKind();

    SimulatorOptions::Mode m_mode;
    std::string m_lineEnd;
    double m_noise;
    Random m_random;
    SignalSource m_intSignals{RecordKind::Int};
    SignalSource m_mcpSignals{RecordKind::Mcp};
    std::uint64_t m_intSamples = 0;
    std::uint64_t m_mcpSamples = 0;
    bool m_mcpNext = false;
    std::string m_record;
};

} // namespace adc
