// What the host's thread tells a running acquisition thread: keep running or
// stop. One object per controller; a stop wakes the pause at once. It does
// not cut a gate wait short (see device/handoff_gate.h): a frame once polled
// is handed to every device before the loop looks at the flag again.
#pragma once

#include "platform/platform.h"

#include <atomic>
#include <cstdint>

namespace varnix {

class AcquisitionSignal {
public:
    using Clock = platform::MonotonicClock;

    // [host] Arms the signal before a thread starts. Lock-free.
    void Arm() { running_.store(true); }

    // [host] Clears the running flag and wakes the pause. Lock-free; never
    // blocks on the acquisition thread.
    void RequestStop();

    // [any] Lock-free; every read fetches the current value.
    bool Running() const { return running_.load(); }

    // [acquisition] Sleeps until `deadline` on the monotonic clock, or until
    // a stop. Returns Running(). Blocks; does not lock or allocate.
    bool PauseUntil(Clock::time_point deadline);

private:
    std::atomic<bool> running_{false};
    // [host] advances at every stop, [acquisition] sleeps on it: a stop
    // after the pause read it changes it, so the sleep cannot miss the stop.
    std::atomic<uint32_t> stops_{0};
};

}  // namespace varnix
