#pragma once

#include <cstdint>

namespace adc {

/// A small, fast generator whose sequence depends on the seed alone (the same on every
/// platform and library), so that a seed always gives the same bytes.
class Random {
public:
    explicit Random(std::uint64_t seed);

    /// The next 64 random bits.
    std::uint64_t next()
    {
        const std::uint64_t result = rotl(m_state[1] * 5, 7) * 9;
        const std::uint64_t t = m_state[1] << 17;
        m_state[2] ^= m_state[0];
        m_state[3] ^= m_state[1];
        m_state[1] ^= m_state[2];
        m_state[0] ^= m_state[3];
        m_state[2] ^= t;
        m_state[3] = rotl(m_state[3], 45);
        return result;
    }

    /// A number in 0 .. n-1 (n > 0).
    std::uint64_t below(std::uint64_t n)
    {
        return static_cast<std::uint64_t>((static_cast<unsigned __int128>(next()) * n) >> 64);
    }

    /// A number in lo .. hi, both included (lo <= hi).
    int between(int lo, int hi)
    {
        return lo + static_cast<int>(below(static_cast<std::uint64_t>(hi - lo) + 1));
    }

    /// A number in [0, 1).
    double unit() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }

private:
    static std::uint64_t rotl(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }

    std::uint64_t m_state[4];
};

} // namespace adc
