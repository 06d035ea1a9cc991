// Holds one push of one device in the host, so that a validate round can shut
// the plug-in down in the middle of a pass: while the trapped push waits, the
// pass of the next frame waits at that device's gate, with the devices before
// it served and the ones after it not.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace varnix::vddhost {

// Lock-free: Arm runs on the host's thread, Hold on the pushing threads.
class PassTrap {
public:
    // [host] The next push of `device` that reaches Hold waits `heldMs`.
    void Arm(size_t device, int heldMs);
    // [handoff] Called in every push; sleeps when this push springs the trap.
    void Hold(size_t device);
    // [host] True once a push sprang the trap.
    bool Sprung() const { return sprung_.load(); }

private:
    static constexpr size_t kNoDevice = SIZE_MAX;

    std::atomic<int> heldMs_{0};             // [host] writes before arming, [handoff] reads
    std::atomic<bool> sprung_{false};        // [handoff] sets once, [host] reads
    std::atomic<size_t> device_{kNoDevice};  // [host] arms, [handoff] reads
};

}  // namespace varnix::vddhost
