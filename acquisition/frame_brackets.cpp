#include "acquisition/frame_brackets.h"

#include <algorithm>
#include <cmath>

namespace varnix {

namespace {

struct Edge {
    double at = 0.0;
    int step = 0;  // +1: a bracket opens after `at`; -1: one closes at `at`
};

// The fit trusts a bracket no narrower than this: the wake of a poll is not
// timed more finely.
constexpr double kNarrowestBracketNs = 100e3;

// Least squares wants a spread of frames, not a cluster.
constexpr size_t kFitBrackets = 8;
constexpr int64_t kFitSpanFrames = 16;

// Candidate periods: 201 coarse steps of 2^(1/100) over an octave either
// side, then 41 fine steps over +-0.4 % of the best coarse one.
constexpr int kCoarseSteps = 100;
constexpr int kFineSteps = 20;
constexpr double kFineSpan = 0.004;

bool Better(const PhaseConsensus& candidate, const PhaseConsensus& best) {
    return candidate.agreeing > best.agreeing;
}

}  // namespace

PhaseConsensus BestPhase(const ConsensusRing& ring, double periodNs, double slackNs) {
    std::array<Edge, 2 * kConsensusBrackets> edges{};
    const size_t count = ring.Size();
    for (size_t i = 0; i < count; ++i) {
        const double shift = static_cast<double>(ring[i].frame) * periodNs;
        edges[2 * i] = {ring[i].afterNs - shift - slackNs, +1};
        edges[2 * i + 1] = {ring[i].byNs - shift + slackNs, -1};
    }
    // At one position a bracket that closes there still holds it; one that
    // opens there holds only what follows: closings go first.
    std::sort(edges.begin(), edges.begin() + static_cast<std::ptrdiff_t>(2 * count),
              [](const Edge& a, const Edge& b) {
                  return a.at < b.at || (a.at == b.at && a.step < b.step);
              });
    PhaseConsensus best;
    size_t open = 0;
    for (size_t i = 0; i < 2 * count; ++i) {
        open = edges[i].step > 0 ? open + 1 : open - 1;
        if (edges[i].step > 0 && open > best.agreeing) {
            const double end = i + 1 < 2 * count ? edges[i + 1].at : edges[i].at;
            best = {open, edges[i].at, end};
        }
    }
    return best;
}

PeriodConsensus ScanPeriods(const ConsensusRing& ring, double aroundNs) {
    PeriodConsensus best{aroundNs, BestPhase(ring, aroundNs)};
    // Nearest first, so that among periods that explain as much the one
    // closest to what was expected wins.
    for (int d = 1; d <= kCoarseSteps; ++d) {
        for (const int i : {d, -d}) {
            const double period = aroundNs * std::exp2(static_cast<double>(i) / kCoarseSteps);
            const PhaseConsensus phase = BestPhase(ring, period);
            if (Better(phase, best.phase)) {
                best = {period, phase};
            }
        }
    }
    const double coarse = best.periodNs;
    for (int d = 1; d <= kFineSteps; ++d) {
        for (const int i : {d, -d}) {
            const double period = coarse * (1.0 + kFineSpan * i / kFineSteps);
            const PhaseConsensus phase = BestPhase(ring, period);
            if (Better(phase, best.phase)) {
                best = {period, phase};
            }
        }
    }
    return best;
}

std::optional<double> FitPeriod(const PeriodRing& ring) {
    const size_t count = ring.Size();
    if (count < kFitBrackets || ring[count - 1].frame - ring[0].frame < kFitSpanFrames) {
        return std::nullopt;
    }
    // Frames and times relative to the first bracket keep the sums small.
    const double frame0 = static_cast<double>(ring[0].frame);
    const double time0 = ring[0].byNs;
    double sw = 0.0, swk = 0.0, swkk = 0.0, swt = 0.0, swkt = 0.0;
    for (size_t i = 0; i < count; ++i) {
        const FrameBracket& b = ring[i];
        const double width = std::max(b.byNs - b.afterNs, kNarrowestBracketNs);
        const double weight = 1.0 / (width * width);
        const double k = static_cast<double>(b.frame) - frame0;
        const double t = (b.afterNs + b.byNs) / 2.0 - time0;
        sw += weight;
        swk += weight * k;
        swkk += weight * k * k;
        swt += weight * t;
        swkt += weight * k * t;
    }
    const double det = sw * swkk - swk * swk;
    if (!(det > 0.0)) {
        return std::nullopt;
    }
    return (sw * swkt - swk * swt) / det;
}

}  // namespace varnix
