#pragma once

#include <cstdint>

namespace loomway {

// Magic numbers and CHAP challenges: splitmix64 over a seed that the owner
// takes from a real source of randomness (or fixes, in tests and fuzzing).
class PppRandom {
public:
    explicit PppRandom(std::uint64_t seed) : m_state(seed) {}

    std::uint32_t Next() {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return static_cast<std::uint32_t>((z ^ (z >> 31)) >> 16);
    }

    // Never zero, never `other`: a Magic-Number different from the one refused.
    std::uint32_t NextMagic(std::uint32_t other = 0) {
        std::uint32_t value = Next();
        while (value == 0 || value == other) {
            value = Next();
        }
        return value;
    }

private:
    std::uint64_t m_state;
};

} // namespace loomway
