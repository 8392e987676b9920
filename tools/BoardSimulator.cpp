#include "BoardSimulator.h"

#include <array>
#include <charconv>

namespace adc {

BoardSimulator::BoardSimulator(const SimulatorOptions &options)
    : m_mode(options.mode), m_lineEnd(options.lineEnd()), m_noise(options.noise),
      m_random(options.seed.value_or(1))
{
    m_record.reserve(128);
}

RecordKind BoardSimulator::nextKind()
{
    if (m_mode != SimulatorOptions::Mode::Both) {
        return m_mode == SimulatorOptions::Mode::Int ? RecordKind::Int : RecordKind::Mcp;
    }
    m_mcpNext = !m_mcpNext;
    return m_mcpNext ? RecordKind::Int : RecordKind::Mcp;
}

void BoardSimulator::appendRecord(RecordKind kind, const int *values, std::string &out)
{
    const RecordFormat format = recordFormat(kind);
    // "PIC 0:512 1:0 ...": at most 3 + 8 * (1 + 1 + 1 + 4) characters.
    char buffer[64];
    char *p = buffer;
    for (char c : format.tag) {
        *p++ = c;
    }
    for (int k = 0; k < format.channels; ++k) {
        *p++ = ' ';
        *p++ = static_cast<char>('0' + k);
        *p++ = ':';
        p = std::to_chars(p, buffer + sizeof buffer, values[k]).ptr;
    }
    out.append(buffer, static_cast<std::size_t>(p - buffer));
}

LineOutcome BoardSimulator::appendLine(std::string &out)
{
    const RecordKind kind = nextKind();
    std::array<int, 8> values;
    if (kind == RecordKind::Int) {
        m_intSignals.sample(m_intSamples++, m_random, values);
    } else {
        m_mcpSignals.sample(m_mcpSamples++, m_random, values);
    }

    bool accepted = true;
    if (m_noise > 0.0 && m_random.unit() < m_noise) {
        const NoiseKind noise = LineNoise::pick(m_random);
        m_record.clear();
        appendRecord(kind, values.data(), m_record);
        LineNoise::append(noise, kind, m_record, m_lineEnd, m_random, out);
        accepted = LineNoise::keepsRecord(noise);
    } else {
        appendRecord(kind, values.data(), out);
        out += m_lineEnd;
    }
    return {accepted && kind == RecordKind::Int, accepted && kind == RecordKind::Mcp};
}

} // namespace adc
