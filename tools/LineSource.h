#pragma once

#include <string>

namespace adc {

/// Which readers accept a line: a reader started with "INT A/D Start" or with
/// "MCP3201 A/D Start".
struct LineOutcome {
    bool acceptedInt = false;
    bool acceptedMcp = false;
};

/// Where the lines that go down the line come from: the simulated board or a recording.
class LineSource {
public:
    virtual ~LineSource() = default;

    /// Whether there is a next line (a recording ends, the simulated board does not).
    virtual bool hasLine() const { return true; }

    /// Appends the next line, ended by a line feed, to `out`.
    virtual LineOutcome appendLine(std::string &out) = 0;

    /// Seconds recorded between the line last appended and the one before it; negative when
    /// the source has no times and the sender paces the lines itself.
    virtual double recordedGap() const { return -1.0; }
};

} // namespace adc
