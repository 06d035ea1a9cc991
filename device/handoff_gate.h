// A device's counting gate: at most one hand-off of the device is in flight,
// and the device's sample buffer is never overwritten while the host reads it.
//
// The count is 1 when the gate is free and 0 while a delivery holds it. The
// acquisition thread takes the gate before it copies a slice into the device's
// buffer; the hand-off thread gives it back after the host returned from the
// push. The mutex guards the count only and is never held while the host or
// the station is called.
//
// A taken gate is always given back, by the delivery in flight once the host
// returns from its push: the loop takes a device's gate only when the
// device's hand-off thread runs, so no gate is taken that no delivery would
// give back. So a wait on the gate is bounded by one push of the host, the
// same push a stop of acquisition waits for anyway; a stop therefore does
// not cut the wait short, and a frame once polled reaches every device.
#pragma once

#include "platform/platform.h"

#include <cstdint>

namespace varnix {

class HandoffGate {
public:
    // Allocates the gate's mutex and condition variable. On Linux throws
    // boost::thread_resource_error when the platform lacks the objects.
    HandoffGate() = default;
    HandoffGate(const HandoffGate&) = delete;
    HandoffGate& operator=(const HandoffGate&) = delete;

    // [acquisition] Waits while a delivery holds the gate, then takes it.
    // Blocks; locks the gate's mutex; does not allocate.
    void TakeGate();

    // [acquisition] Takes the gate if it is free and says so; never waits.
    // Locks briefly; does not allocate.
    bool TryTakeGate();

    // [handoff] Gives the gate back and wakes the waiter.
    // Locks briefly; does not block otherwise; does not allocate.
    void ReleaseGate();

    // [any] 1 free, 0 taken. For tests and traces only: the answer may be
    // stale by the time the caller reads it.
    int32_t Count();

private:
    int32_t count_ = 1;  // guarded by the mutex of sync_
    // The mutex (Boost.Thread's on Linux) and the condition variable the
    // acquisition thread waits on while count_ is 0.
    platform::MutexWithCondition sync_;
};

}  // namespace varnix
