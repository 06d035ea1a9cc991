// The acquisition loop: one poll per cycle, the sequential hand-off pass, a
// 10 ms pause.
#pragma once

#include "acquisition/acquisition_signal.h"

#include <chrono>

namespace varnix {

// The pause after each cycle's work, counted from its end.
constexpr std::chrono::milliseconds kPollPause{10};

// [acquisition] Runs cycles while `signal` says so. Each cycle: refresh the
// thread's own copy of the device list if the host changed it; serve the
// first device's configure request (StartSession); one varnix_pollData; on a
// frame, for each device front to back: TakeGate, copy its slice, start its
// hand-off; then pause 10 ms on the steady clock, woken at once by a stop.
// A stop is looked at between cycles and before the poll, never inside the
// pass, so every device gets every polled frame.
//
// Before it returns, also on an exception, it has joined every hand-off it
// started; a refresh of the copy joins the hand-offs of the old copy first,
// so a host that holds a push holds the refresh too. A cycle allocates nothing but the hand-off threads; the copy of
// the list is refreshed only when the host changed the list. Takes the
// device-list mutex only to copy, never while the host or station is called.
void RunAcquisitionLoop(AcquisitionSignal& signal);

}  // namespace varnix
