// A device's counting gate: at most one hand-off of the device is in flight,
// and the device's sample buffer is never overwritten while the host reads it.
//
// The count is 1 when the gate is free and 0 while a delivery holds it. The
// acquisition thread takes the gate before it copies a slice into the device's
// buffer; the hand-off thread gives it back after the host returned from the
// push. The mutex guards the count only and is never held while the host or
// the station is called.
#pragma once

#include <boost/thread/condition_variable.hpp>
#include <boost/thread/mutex.hpp>

#include <atomic>
#include <cstdint>

class HandoffGate {
public:
    HandoffGate() = default;
    HandoffGate(const HandoffGate&) = delete;
    HandoffGate& operator=(const HandoffGate&) = delete;

    // [acquisition] Waits while a delivery holds the gate, then takes it and
    // returns true. Returns false without taking it once `keepWaiting` reads
    // false (acquisition is stopping); Interrupt makes the waiter look again.
    // Blocks; locks the gate's mutex; does not allocate. May throw
    // boost::thread_resource_error when the platform lacks the objects.
    bool TakeGate(const std::atomic<bool>& keepWaiting);

    // [handoff][acquisition] Gives the gate back and wakes the waiter.
    // Locks briefly; does not block otherwise; does not allocate.
    void ReleaseGate();

    // [host] Wakes a waiter of TakeGate so that it reads its flag again.
    // Locks briefly; does not allocate.
    void Interrupt();

    // [any] 1 free, 0 taken. For tests and traces only: the answer may be
    // stale by the time the caller reads it.
    int32_t Count();

private:
    int32_t                   count_ = 1;  // guarded by mutex_
    boost::mutex              mutex_;
    boost::condition_variable cond_;
};
