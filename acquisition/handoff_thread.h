// One device's long-lived hand-off thread: it waits for the device's next
// loaded slice, pushes it to the host and waits again.
//
// The acquisition thread owns one per device of its copy of the device list
// (device_handoffs.h): started when the device enters the copy, stopped and
// joined when it leaves or acquisition ends. Every push of the device runs
// on this thread, so a host that holds a push holds this device alone; the
// device's gate (device/handoff_gate.h) keeps one push in flight and orders
// the slice.
//
// The thread holds a shared pointer to its device, so the device outlives
// every delivery even when the host empties the device list meanwhile.
#pragma once

#include "acquisition/handoff_doorbell.h"
#include "device/vdevice.h"

#include <boost/shared_ptr.hpp>

#include <atomic>
#include <functional>
#include <thread>

namespace varnix {

class HandoffThread {
public:
    // [acquisition] Starts the thread, named "varnix-handoff", waiting on
    // `doorbell` (which outlives it). Allocates the thread and its start
    // record, once per device, never per frame. Throws std::system_error when
    // the platform cannot start a thread.
    HandoffThread(boost::shared_ptr<vDevice> device, HandoffDoorbell& doorbell);
    // [acquisition] Stops and joins the thread (rings the doorbell itself).
    ~HandoffThread();

    HandoffThread(const HandoffThread&) = delete;
    HandoffThread& operator=(const HandoffThread&) = delete;

    // [acquisition] With the device's gate taken and its slice loaded: the
    // thread pushes it at the next ring of the doorbell. Lock-free.
    void Give() { pending_.store(true); }

    // [acquisition] Asks the thread to end once it has made the delivery it
    // was given; it sees the request at the next ring. Lock-free.
    void RequestStop() { stopping_.store(true); }

    // [acquisition] After RequestStop and a ring: waits for the thread to
    // end. Blocks for as long as the host holds the thread's last push.
    // Idempotent.
    void Join();

    const boost::shared_ptr<vDevice>& Device() const { return device_; }

private:
    void Run();

    const boost::shared_ptr<vDevice> device_;
    HandoffDoorbell& doorbell_;
    std::atomic<bool> pending_{false};   // [acquisition] sets, [handoff] takes
    std::atomic<bool> stopping_{false};  // [acquisition] sets, [handoff] reads
    std::thread thread_;                 // [acquisition] only; started last, once the rest exists
};

// Test seam: how a hand-off thread is started. The real starter is
// std::thread(body); a test's may throw std::system_error to stand for a
// platform that cannot start one.
using HandoffThreadStarter = std::thread (*)(std::function<void()> body);

// [host] Replaces the starter (null restores the real one). Set it only while
// no acquisition thread runs. Lock-free.
void SetHandoffThreadStarter(HandoffThreadStarter starter);

}  // namespace varnix
