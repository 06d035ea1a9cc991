// The one source of chance in a validate round: a small generator whose every
// draw is integer arithmetic of our own, so that a seed and a round number
// give the same round on any machine and with any standard library (the
// results of std::uniform_int_distribution are implementation-defined).
#pragma once

#include <cstddef>
#include <cstdint>

namespace varnix::vddhost {

// One entry of a table of weighted choices: drawn with probability
// weight / (sum of the table's weights).
template <typename T>
struct WeightedChoice {
    uint32_t weight;
    T value;
};

// [host] A value type, used by one thread. SplitMix64: 64 bits of state, every
// draw a few multiplications and shifts; no draw allocates or locks.
class RoundRandom {
public:
    // The generator of round `round` of `seed`: each round of a seed is its own
    // stream, so round 7 is the same whether rounds 1 to 6 ran or not.
    RoundRandom(uint64_t seed, uint64_t round);

    uint64_t Next();
    // Uniform in [0, bound); 0 when bound is 0. Rejection sampling: no modulo bias.
    uint64_t Below(uint64_t bound);
    // Uniform in [low, high]; low when high < low.
    int64_t Between(int64_t low, int64_t high);
    // True with probability perMille / 1000.
    bool Chance(uint32_t perMille);

    // A value of `table`, in proportion to the weights; the table's sum must
    // not be 0.
    template <typename T, size_t N>
    const T& Pick(const WeightedChoice<T> (&table)[N]) {
        uint64_t total = 0;
        for (const auto& choice : table) total += choice.weight;
        uint64_t draw = Below(total);
        for (const auto& choice : table) {
            if (draw < choice.weight) return choice.value;
            draw -= choice.weight;
        }
        return table[N - 1].value;
    }

private:
    uint64_t state_;
};

}  // namespace varnix::vddhost
