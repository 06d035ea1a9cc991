// What the acquisition loop asks of time and of the station. The real one
// reads the monotonic clock, polls through the bridge and sleeps on the stop
// signal; a test scripts a station's clock and time itself, so that the
// loop's cadence is checked frame by frame without sleeping.
#pragma once

#include "bridge/bridge.h"
#include "platform/platform.h"

namespace varnix {

class LoopEnvironment {
public:
    using Clock = platform::MonotonicClock;

    // [acquisition] Now, on the clock deadlines are given in. Does not block.
    virtual Clock::time_point Now() = 0;
    // [acquisition] One varnix_pollData. The frame's array belongs to the
    // station until the next poll.
    virtual bool Poll(VarnixFrameBuf& frame) = 0;
    // [acquisition] Sleeps until `deadline`, or until a stop. False once
    // acquisition is to stop. Blocks; does not lock or allocate.
    virtual bool PauseUntil(Clock::time_point deadline) = 0;

protected:
    ~LoopEnvironment() = default;
};

}  // namespace varnix
