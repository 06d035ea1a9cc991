// The acquisition loop: poll until the station has no frame waiting, hand
// every frame to every device, pause 10 ms.
#pragma once

#include "acquisition/acquisition_context.h"
#include "acquisition/acquisition_signal.h"

#include <chrono>

namespace varnix {

// The pause after a poll that found no frame (or after the cap below),
// counted from the end of the cycle's work.
constexpr std::chrono::milliseconds kPollPause{10};

// The most frames one cycle takes before it pauses. A cycle polls again at
// once after every frame, so a backlog left by a stall (the machine busy, a
// push held in the host) is caught up in one cycle instead of one frame per
// pause. 64 is the depth of the station's queue in its default profile: a
// queue filled to the brim (0.86 s of signal at frame multiple 1) is drained
// in one cycle, while a station that answered true for ever would still see
// the pause, the session start and the list refresh once per 64 frames.
constexpr int kMaxFramesPerCycle = 64;

// [acquisition] Runs cycles while `signal` says so. Each cycle: refresh the
// thread's own copy of the device list if the host changed it (each device
// in the copy has its own long-lived hand-off thread); serve the first
// device's configure request (StartSession); poll, and after every frame
// hand it to every device front to back (TakeGate, copy its slice, wake its
// hand-off thread) and poll again, until a poll finds nothing or the cycle
// took kMaxFramesPerCycle frames; then pause 10 ms on the monotonic clock,
// woken at once by a stop. A stop is looked at before every poll, never
// inside the pass, so every device gets every polled frame.
//
// Before it returns, also on an exception, every hand-off thread has
// finished its delivery and been joined. A cycle allocates nothing; the copy
// of the list is refreshed (and threads started or ended) only when the host
// changed the list, which `context` copies under its lock; no lock is held
// while the host or station is called.
void RunAcquisitionLoop(AcquisitionSignal& signal, AcquisitionContext& context);

// Test seam: code run by the acquisition thread at two points of every
// cycle. Set only while no acquisition thread runs; empty functions (the
// default) cost one test per cycle.
struct AcquisitionHooks {
    // After the copy of the device list is refreshed (or found current),
    // before the first device's configure request is looked at.
    void (*afterListCopy)() = nullptr;
    // After the cycle's last poll, before its pause.
    void (*beforePause)() = nullptr;
};
void SetAcquisitionHooks(const AcquisitionHooks& hooks);

}  // namespace varnix
