// Whatever records the pushes as they are checked (the CSV, the plot, the
// EDF+/BDF+ files) takes them from the checker one at a time, so nothing
// has to keep the whole capture.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace varnix::vddhost {

// One push as vdd-host takes it in: copied from the lent arrays on the
// pushing thread, checked and handed on on the host's main thread.
struct CapturedPush {
    int32_t sessionId = 0;
    int64_t firstSampleIndex = 0;
    int32_t samplesPerFrame = 0;
    int32_t valueCount = 0;
    std::vector<float> values;
    int64_t timeNs = 0;
    uint64_t deliveredAtPush = 0;  // station's delivered count when the push began
};

// What the checker learned about one push.
struct PushNotes {
    // Deliveries that never reached the device just before this push, while
    // its sample index went on as if nothing was missing (simulated station).
    uint64_t skippedBefore = 0;
    // When the station made the push's frame ready (CLOCK_MONOTONIC); 0 when
    // the frame is not known (a real station, or the values did not match).
    int64_t frameReadyNs = 0;
};

// [host] Take is called on the host's main thread, from PushChecker::Drain,
// for every push of a device in the order the device pushed; `push` is lent
// for the call. Implementations must not call back into the checker.
class PushSink {
public:
    virtual ~PushSink() = default;
    virtual void Take(size_t device, const CapturedPush& push, const PushNotes& notes) = 0;
};

}  // namespace varnix::vddhost
