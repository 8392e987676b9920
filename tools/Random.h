#pragma once

#include <cstdint>
#include <random>

namespace adc {

/// Random numbers whose sequence depends on the seed alone: `std::mt19937_64` (its output is
/// fixed by the C++ standard) turned into ranges by plain arithmetic, not by the library's
/// distributions (which differ between libraries), so that a seed always gives the same bytes.
class Random {
public:
    explicit Random(std::uint64_t seed) : m_engine(seed) {}

    /// A number in 0 .. n-1 (n > 0). The remainder's bias is below 2^-40 for the simulator's
    /// ranges, which never reach 2^24.
    std::uint64_t below(std::uint64_t n) { return m_engine() % n; }

    /// A number in lo .. hi, both included (lo <= hi).
    int between(int lo, int hi)
    {
        return lo + static_cast<int>(below(static_cast<std::uint64_t>(hi - lo) + 1));
    }

    /// A number in [0, 1).
    double unit() { return static_cast<double>(m_engine() >> 11) * 0x1.0p-53; }

private:
    std::mt19937_64 m_engine;
};

} // namespace adc
