// When the station's frames are due and when each becomes pollable: its own
// clock, which may run fast or slow against the host's (and change its pace
// at a given moment), and a delivery that may jitter or hold a frame back to
// send it with the next, as USB packets do. A profile's timing options
// (profiles/README.md, "Timing"); the defaults give the perfect clock: frame k
// due and pollable at (k + 1) x period after the frames begin.
#pragma once

#include <cstdint>
#include <optional>

namespace varnix::station {

struct DriftStep {
    int64_t afterMs = 0;  // after the frames begin
    double ppm = 0.0;     // the clock's drift from then on
};

struct TimingOptions {
    double clockDriftPpm = 0.0;  // > 0: the station's clock runs fast, its frames come early
    std::optional<DriftStep> driftStep;
    double deliveryJitterMs = 0.0;  // a frame becomes pollable 0 to this after its due time
    int32_t burstEvery = 0;         // >= 2: every such frame is held and comes with the next
};

// [any] Not thread-safe: the station calls it under its own lock. Never
// allocates or throws.
class FrameTiming {
public:
    // Seeded by the profile's seed: the same profile gives the same moments.
    void Configure(const TimingOptions& options, uint64_t seed);

    // A new run of frames (a start, a start pulse) with frames of `periodNs`
    // on a perfect clock.
    void Begin(int64_t periodNs);

    // Frame k of the run: when it is due, in ns after the run began.
    int64_t DueNs(uint64_t k) const;

    // When frame k becomes pollable, in ns after the run began. Frames are
    // asked for in order (0, 1, 2 ...): delivery keeps the order, so none
    // becomes pollable before the one before it.
    int64_t PollableNs(uint64_t k);

    bool Perfect() const;

private:
    double JitterNs(uint64_t k) const;
    int64_t RawPollableNs(uint64_t k) const;

    TimingOptions options_;
    uint64_t seed_ = 0;
    int64_t periodNs_ = 0;
    int64_t lastPollableNs_ = 0;
};

}  // namespace varnix::station
