// What the polls tell of when the station's frames become pollable, and the
// fits the acquisition's cadence draws from it.
//
// A poll that found nothing says the next frame was not there yet at that
// moment; a poll that found a frame says it was there by then. So each frame
// the loop takes is known to have become pollable inside a bracket: after the
// last empty poll since the frame before it (if there was one), and by the
// poll that took it. Frames come on the station's clock, frame k at about
// phase + k x period, so a line through the brackets gives the next frame's
// moment. All times are nanoseconds since the cadence's own origin.
//
// [acquisition] Pure functions and a fixed-size ring: nothing here locks,
// blocks or allocates, so a cycle stays free of allocations.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>

namespace varnix {

// The lower bound of a frame taken with no empty poll before it.
constexpr double kNoLowerBound = -std::numeric_limits<double>::infinity();

struct FrameBracket {
    int64_t frame = 0;               // the frame's number since the cadence began counting
    double afterNs = kNoLowerBound;  // it was not pollable yet at this moment
    double byNs = 0.0;               // it was pollable by this moment
};

// The last `Capacity` brackets, oldest first; the oldest drops out.
template <size_t Capacity>
class BracketRing {
public:
    void Add(const FrameBracket& bracket) {
        items_[(first_ + count_) % Capacity] = bracket;
        if (count_ < Capacity) {
            ++count_;
        } else {
            first_ = (first_ + 1) % Capacity;
        }
    }
    void Clear() { first_ = count_ = 0; }
    size_t Size() const { return count_; }
    const FrameBracket& operator[](size_t i) const { return items_[(first_ + i) % Capacity]; }

private:
    std::array<FrameBracket, Capacity> items_{};
    size_t first_ = 0;
    size_t count_ = 0;
};

constexpr size_t kConsensusBrackets = 24;  // the recent frames every fit looks at
constexpr size_t kPeriodBrackets = 64;     // the misses the period is refined from
using ConsensusRing = BracketRing<kConsensusBrackets>;
using PeriodRing = BracketRing<kPeriodBrackets>;

// The phases (a frame's moment less frame x period) that the most brackets
// of `ring` allow at `periodNs`, as the half-open span (lowNs, highNs]. A
// frame held back by the station, or one that came unusually late, only
// lowers `agreeing`: the rest still pin the phase. `slackNs` widens every
// bracket by that much on each side (to ask whether frames agree within it).
struct PhaseConsensus {
    size_t agreeing = 0;
    double lowNs = 0.0;
    double highNs = 0.0;
};
PhaseConsensus BestPhase(const ConsensusRing& ring, double periodNs, double slackNs = 0.0);

// The period within an octave either side of `aroundNs` that the most
// brackets of `ring` agree with (the nearest to `aroundNs` among equals),
// with its phase span.
struct PeriodConsensus {
    double periodNs = 0.0;
    PhaseConsensus phase;
};
PeriodConsensus ScanPeriods(const ConsensusRing& ring, double aroundNs);

// The period as the slope of a least-squares line through the brackets'
// middles, each weighted by the inverse square of its width: frames that
// come unevenly add noise, not bias. None while the brackets span too few
// frames for it.
std::optional<double> FitPeriod(const PeriodRing& ring);

}  // namespace varnix
