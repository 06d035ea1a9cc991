// The station's two trigger inputs: whether each is armed (configure), the
// pulses scheduled on them (by a profile, or by a recording being replayed)
// and what a pulse does to the flow of frames. Every pulse, from whichever
// source, goes to the pulse log.
#pragma once

#include "pulse_log.h"
#include "replay_setup.h"

#include <cstdint>
#include <limits>
#include <optional>

namespace varnix::station {

constexpr int64_t kNever = std::numeric_limits<int64_t>::max();

// No lock of its own: the station calls it with its own lock held.
class TriggerInputs {
public:
    // The pulse log is lent for the inputs' life.
    explicit TriggerInputs(PulseLog& pulses) : pulses_(pulses) {}

    // Unarmed, nothing scheduled.
    void Clear();
    void Arm(bool startInput, bool stopInput);
    bool WaitsForStart() const { return startInput_; }
    bool StopsAtPulse() const { return stopInput_; }

    // At a start: the profile's pulses at their times from now; a
    // recording's start pulse at its time from now, its stop pulse at its
    // time from when its frames begin to flow.
    void ScheduleProfile(int64_t nowNs, std::optional<int64_t> startAfterMs,
                         std::optional<int64_t> stopAfterMs);
    void ScheduleRecording(int64_t nowNs, const ReplayPulses& pulses);
    // Frames begin to flow at `atNs`: a recording's stop pulse is timed.
    void FlowBegins(int64_t atNs);
    // No pending pulse.
    void Cancel();

    // The time of the next scheduled pulse (kNever when none).
    int64_t NextNs() const;
    // Takes the scheduled pulse due at `atNs`: its input.
    int32_t TakeScheduled(int64_t atNs);
    // Logs a pulse on `input`.
    void Log(int32_t input, int32_t source, int64_t atNs) { pulses_.Record(input, source, atNs); }

private:
    PulseLog& pulses_;
    bool startInput_ = false;
    bool stopInput_ = false;
    int64_t startAtNs_ = kNever;
    int64_t stopAtNs_ = kNever;
    std::optional<int64_t> stopAfterFlowNs_;  // a recording's stop pulse, waiting for the flow
};

}  // namespace varnix::station
