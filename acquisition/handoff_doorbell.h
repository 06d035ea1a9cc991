// The doorbell on which the hand-off threads wait for frames: the
// acquisition thread gives each device its slice, then rings once, and one
// system call wakes every waiting thread. Waking a sleeping thread is most of
// what a hand-off costs; waking them all in one call instead of one call per
// device costs a quarter less CPU on our 2-core build machine
// (docs/performance.md).
//
// The count itself is an atomic, so what a thread sees is ordered by it; the
// system's wait on the count's word (a futex on Linux, WaitOnAddress on
// Windows) only puts threads to sleep and wakes them.
#pragma once

#include <atomic>
#include <cstdint>

namespace varnix {

class HandoffDoorbell {
public:
    HandoffDoorbell() = default;
    HandoffDoorbell(const HandoffDoorbell&) = delete;
    HandoffDoorbell& operator=(const HandoffDoorbell&) = delete;

    // [handoff] The rings so far. A waiter reads it before it looks for work
    // and passes it to Wait, so that a ring after the look is never missed.
    // Lock-free.
    uint32_t Rings() const { return rings_.load(); }

    // [handoff] Sleeps while the rings are still `seen`; returns at once when
    // they moved. May return early for no reason: the caller looks again.
    // Blocks; does not allocate.
    void Wait(uint32_t seen);

    // [acquisition] Counts one ring and wakes every thread waiting now. One
    // system call; does not block or allocate.
    void Ring();

private:
    std::atomic<uint32_t> rings_{0};  // [acquisition] advances, [handoff] reads and sleeps on
};

}  // namespace varnix
