#include "Random.h"

namespace adc {

Random::Random(std::uint64_t seed)
{
    // The state is spread out from the seed so that nearby seeds give unrelated sequences.
    for (std::uint64_t &word : m_state) {
        seed += 0x9e3779b97f4a7c15ULL;
        std::uint64_t z = seed;
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        word = z ^ (z >> 31);
    }
}

} // namespace adc
