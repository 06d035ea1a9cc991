#include "emulator/vdd_host/validate/round_random.h"

namespace varnix::vddhost {

namespace {

constexpr uint64_t kGoldenGamma = 0x9E3779B97F4A7C15ull;

// SplitMix64's finaliser: every input bit reaches every output bit.
uint64_t Mix(uint64_t z) {
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

}  // namespace

RoundRandom::RoundRandom(uint64_t seed, uint64_t round)
    : state_(Mix(seed + kGoldenGamma) ^ Mix(Mix(round) + 2 * kGoldenGamma)) {}

uint64_t RoundRandom::Next() {
    state_ += kGoldenGamma;
    return Mix(state_);
}

uint64_t RoundRandom::Below(uint64_t bound) {
    if (bound == 0) return 0;
    // Values below `threshold` would favour the low remainders: draw again.
    const uint64_t threshold = (0 - bound) % bound;
    for (;;) {
        const uint64_t value = Next();
        if (value >= threshold) return value % bound;
    }
}

int64_t RoundRandom::Between(int64_t low, int64_t high) {
    if (high <= low) return low;
    const uint64_t span = static_cast<uint64_t>(high) - static_cast<uint64_t>(low) + 1;
    return static_cast<int64_t>(static_cast<uint64_t>(low) + Below(span));
}

bool RoundRandom::Chance(uint32_t perMille) {
    return Below(1000) < perMille;
}

}  // namespace varnix::vddhost
