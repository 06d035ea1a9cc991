// The acquisition loop: poll when the station's next frame is due, hand
// every frame to every device, sleep to the next frame's moment.
#pragma once

#include "acquisition/acquisition_context.h"
#include "acquisition/acquisition_signal.h"
#include "acquisition/frame_cadence.h"
#include "acquisition/loop_environment.h"

#include <chrono>

namespace varnix {

// The most frames one cycle takes before it pauses 10 ms. A backlog left by
// a stall (the machine busy, a push held in the host) is caught up in one
// cycle instead of one frame per wake. 64 is the depth of the station's
// queue in its default profile: a queue filled to the brim (0.86 s of signal
// at frame multiple 1) is drained in one cycle, while a station that
// answered true for ever would still see the pause, the session start and
// the list refresh once per 64 frames.
constexpr int kMaxFramesPerCycle = 64;

// [acquisition] Runs cycles while `signal` says so. Each cycle: refresh the
// thread's own copy of the device list if the host changed it (each device
// in the copy has its own long-lived hand-off thread); serve the first
// device's configure request (StartSession, after which the station's clock
// is learnt anew); poll, and after every frame hand it to every device front
// to back (TakeGate, copy its slice, wake its hand-off thread), polling again
// at once while more frames may be waiting, up to kMaxFramesPerCycle; then
// sleep to the moment frame_cadence.h gives (just after the next frame is
// due; 10 ms while the station's clock is not known), woken at once by a
// stop. A stop is looked at before every poll, never inside the pass, so
// every device gets every polled frame. Before each frame's hand-off the
// list's version is looked at (one atomic load), so a device the host
// registered during a long cycle gets the frames polled after it.
//
// Before it returns, also on an exception, every hand-off thread has
// finished its delivery and been joined. A cycle allocates nothing; the copy
// of the list is refreshed (and threads started or ended) only when the host
// changed the list, which `context` copies under its lock; no lock is held
// while the host or station is called.
void RunAcquisitionLoop(AcquisitionSignal& signal, AcquisitionContext& context);

// The same, with time and the station's polls taken from `environment`
// (tests script a station's clock through it).
void RunAcquisitionLoop(AcquisitionSignal& signal, AcquisitionContext& context,
                        LoopEnvironment& environment);

// The frame period the station announces: its frame multiple x 13.5 ms.
FrameCadence::Clock::duration NominalFramePeriod(int32_t frameMultiple);

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
