#pragma once

#include <string_view>

namespace adc {

/// The two kinds of record the converter board sends.
enum class RecordKind {
    Int, ///< "PIC 0:v 1:v ... 7:v", eight channels of the on-chip converter, 0-1023
    Mcp, ///< "MCP 0:v 1:v", two channels of the MCP3201, 0-4095
};

/// How the board writes one kind of record.
struct RecordFormat {
    std::string_view tag; ///< the record's first three characters
    int channels;         ///< fields per record, labelled 0 .. channels-1
    int fullScale;        ///< largest value a field carries
};

/// The record format of `kind`.
constexpr RecordFormat recordFormat(RecordKind kind)
{
    return kind == RecordKind::Int ? RecordFormat{"PIC", 8, 1023} : RecordFormat{"MCP", 2, 4095};
}

} // namespace adc
