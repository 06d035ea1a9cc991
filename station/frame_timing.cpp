#include "frame_timing.h"

#include <algorithm>
#include <cmath>

namespace varnix::station {

namespace {

// Mixes the seed and a frame number into 64 well-spread bits (splitmix64).
uint64_t Mix(uint64_t value) {
    value += 0x9e3779b97f4a7c15ull;
    value = (value ^ (value >> 30)) * 0xbf58476d1ce4e5b9ull;
    value = (value ^ (value >> 27)) * 0x94d049bb133111ebull;
    return value ^ (value >> 31);
}

// Kept apart from the seeds of the signals, which use the seed as it is.
constexpr uint64_t kJitterStream = 0x6a09e667f3bcc909ull;

double PeriodAt(int64_t periodNs, double ppm) {
    return static_cast<double>(periodNs) / (1.0 + ppm * 1e-6);
}

}  // namespace

void FrameTiming::Configure(const TimingOptions& options, uint64_t seed) {
    options_ = options;
    seed_ = seed;
}

void FrameTiming::Begin(int64_t periodNs) {
    periodNs_ = periodNs;
    lastPollableNs_ = 0;
}

bool FrameTiming::Perfect() const {
    return options_.clockDriftPpm == 0.0 && !options_.driftStep &&
           options_.deliveryJitterMs == 0.0 && options_.burstEvery < 2;
}

int64_t FrameTiming::DueNs(uint64_t k) const {
    const double number = static_cast<double>(k + 1);
    if (Perfect()) {
        return static_cast<int64_t>(k + 1) * periodNs_;
    }
    const double before = PeriodAt(periodNs_, options_.clockDriftPpm);
    const double stepNs =
        options_.driftStep ? static_cast<double>(options_.driftStep->afterMs) * 1e6 : 0.0;
    if (!options_.driftStep || number * before <= stepNs) {
        return std::llround(number * before);
    }
    // The frames due by the step keep the old pace; the rest take the new one.
    const double dueByStep = std::floor(stepNs / before);
    const double after = PeriodAt(periodNs_, options_.driftStep->ppm);
    return std::llround(dueByStep * before + (number - dueByStep) * after);
}

double FrameTiming::JitterNs(uint64_t k) const {
    if (options_.deliveryJitterMs <= 0.0) {
        return 0.0;
    }
    const double unit = static_cast<double>(Mix(seed_ ^ kJitterStream ^ Mix(k)) >> 11) /
                        9007199254740992.0;  // [0, 1)
    return unit * options_.deliveryJitterMs * 1e6;
}

int64_t FrameTiming::RawPollableNs(uint64_t k) const {
    return DueNs(k) + std::llround(JitterNs(k));
}

int64_t FrameTiming::PollableNs(uint64_t k) {
    const bool held =
        options_.burstEvery >= 2 && (k + 1) % static_cast<uint64_t>(options_.burstEvery) == 0;
    const int64_t pollable = held ? RawPollableNs(k + 1) : RawPollableNs(k);
    lastPollableNs_ = std::max(pollable, lastPollableNs_);
    return lastPollableNs_;
}

}  // namespace varnix::station
