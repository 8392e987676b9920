#include "BoardSimulator.h"

#include <array>
#include <charconv>

namespace adc {

BoardSimulator::BoardSimulator(const SimulatorOptions &options)
    : m_lineEnd(options.lineEnd()), m_noise(options.noise), m_random(options.seed.value_or(1))
{
    for (const Mode mode : options.modes) {
        m_sources.push_back({mode, SignalSource(mode)});
    }
    m_record.reserve(128);
}

void BoardSimulator::appendRecord(Mode mode, const int *values, std::string &out)
{
    const ModeInfo &format = modeInfo(mode);
    // "PIC 0:512 1:0 ...": at most 3 + 8 * (1 + 1 + 1 + 4) characters.
    char buffer[64];
    char *p = buffer;
    for (char c : format.tag) {
        *p++ = c;
    }
    for (int k = 0; k < format.channelCount; ++k) {
        *p++ = ' ';
        *p++ = static_cast<char>('0' + k);
        *p++ = ':';
        p = std::to_chars(p, buffer + sizeof buffer, values[k]).ptr;
    }
    out.append(buffer, static_cast<std::size_t>(p - buffer));
}

LineOutcome BoardSimulator::appendLine(std::string &out)
{
    // The modes take turns.
    Source &source = m_sources[m_next];
    m_next = (m_next + 1) % m_sources.size();
    std::array<int, kMaxChannels> values;
    source.signals.sample(source.samples++, m_random, values);

    bool accepted = true;
    if (m_noise > 0.0 && m_random.unit() < m_noise) {
        const NoiseKind noise = LineNoise::pick(m_random);
        m_record.clear();
        appendRecord(source.mode, values.data(), m_record);
        LineNoise::append(noise, source.mode, m_record, m_lineEnd, m_random, out);
        accepted = LineNoise::keepsRecord(noise);
    } else {
        appendRecord(source.mode, values.data(), out);
        out += m_lineEnd;
    }
    return {accepted && source.mode == Mode::Int, accepted && source.mode == Mode::Mcp3201};
}

} // namespace adc
