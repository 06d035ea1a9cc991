// The acquisition thread's own copy of the device list, each device with its
// long-lived hand-off thread, and the pass that hands one polled frame to
// them all.
#pragma once

#include "acquisition/acquisition_context.h"
#include "acquisition/handoff_doorbell.h"
#include "acquisition/handoff_thread.h"
#include "device/device_list.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace varnix {

// [acquisition] Owned by the acquisition loop (or a benchmark standing in
// for it); not shared with any other thread. Its shared pointers keep every
// device alive while the loop copies into it or its thread pushes it.
class DeviceHandoffs {
public:
    // `context` (which outlives this) hears a thread that cannot start.
    explicit DeviceHandoffs(const AcquisitionContext& context) : context_(context) {}
    DeviceHandoffs(const DeviceHandoffs&) = delete;
    DeviceHandoffs& operator=(const DeviceHandoffs&) = delete;
    ~DeviceHandoffs() { Update({}); }

    // Makes `devices` the list that the passes walk. A device that stays
    // keeps its hand-off thread; the threads of devices that left are
    // stopped and joined (after the delivery they were given, so this blocks
    // while the host holds one of their pushes); a device that entered gets
    // a new thread. A thread that cannot be started is logged once and tried
    // again at the device's next frame. Allocates only when the list changed.
    void Update(DeviceList devices);

    const DeviceList& Devices() const { return devices_; }

    // One polled frame to every device, front to back: take the device's
    // gate (waiting while its previous push is still in the host), copy its
    // slice out of `samples`, give it to its thread; then ring the doorbell
    // once for them all. Before it waits at a gate it rings for the devices
    // already given, so a held push delays only its own device and the ones
    // after it in the pass. `samples` is the station's array, read only
    // during the call. A device without a thread misses the frame. Blocks
    // only at a gate; does not allocate (but for a retried thread start).
    void HandOff(const float* samples);

private:
    struct Slot {
        std::unique_ptr<HandoffThread> thread;  // null while it could not be started
        uint64_t missedFrames = 0;              // since its start last failed
        bool startFailed = false;               // the failure has been logged
    };

    // Starts slot i's thread; logs the first failure and the recovery.
    bool StartThread(size_t index);

    // Asks the threads of `slots` to end, rings once, joins them all.
    void StopThreads(std::vector<Slot>& slots);

    const AcquisitionContext& context_;
    HandoffDoorbell doorbell_;  // declared before the threads: outlives every one
    DeviceList devices_;
    std::vector<Slot> slots_;  // parallel to devices_
};

}  // namespace varnix
