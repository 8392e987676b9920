#pragma once

#include "RangeMeasurement.h"

#include <span>
#include <string>
#include <string_view>

namespace adc {

/// Measurements as text, one line per channel: a table for people, or CSV with the header
/// `channel,records,min,max,mean,std,rms,pp,frequency` (frequency in hertz, empty when none).
/// The same text serves the command line and the scope's panel when copied.
class MeasurementTable {
public:
    enum class Style { Table, Csv };

    explicit MeasurementTable(Style style) : m_style(style) {}

    /// The header line, line feed included.
    std::string header() const;
    /// The line of `m`, line feed included, for the channel called `label`.
    std::string row(const Measurement &m, std::string_view label) const;

    /// A channel's label: its name (the one set in `units`, else `runName`) and its unit in
    /// brackets when it has one ("supply (V)"). `units` may be null.
    static std::string label(const ChannelUnits *units, int channel, std::string_view runName);

private:
    std::string number(double value) const;

    Style m_style;
};

} // namespace adc
