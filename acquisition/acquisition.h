// Acquisition and streaming: one acquisition thread moves frames from the
// station to the devices.
//
//   poll (varnix_pollData) -> per device: TakeGate, copy the slice into the
//   device's buffer, give it to the device's hand-off thread -> one ring
//   wakes them all; DeliverFrame pushes it to the host and gives the gate
//   back -> poll again at once while more frames may be waiting -> sleep to
//   just after the next frame is due on the station's clock, as the loop
//   learnt it (frame_cadence.h; 10 ms while it is not known) -> poll again
//
// Each device of the loop's copy of the device list has one long-lived
// hand-off thread (device_handoffs.h), so no thread is started per frame.
// Before each cycle's polls the first device's configure request is served
// by the session start (session_start.h). The thread is owned by the
// acquisition controller: started by StartAcquisition, ended and joined by
// StopAcquisition, never detached. What it needs of the plug-in it asks of
// the AcquisitionContext it is started with.
#pragma once

#include "acquisition/acquisition_context.h"

namespace varnix {

// [host] Starts the acquisition thread for `context` unless one runs
// already, so at most one loop polls the station at a time. `context` must
// stay valid until StopAcquisition has returned. Blocks only to join a
// thread that already ended. Allocates the thread; throws std::system_error
// when the platform cannot start it (nothing then runs, and a later call
// tries again).
void StartAcquisition(AcquisitionContext& context);

// [host] Ends acquisition: clears the running flag, wakes the thread, waits
// for it and for every hand-off thread. Blocks; idempotent; harmless before
// any start. After it returns no acquisition or hand-off thread runs. Called
// on the acquisition thread itself (a host that shuts the plug-in down from
// inside RequestUpdate) it cannot wait for itself: the loop then ends after
// its cycle and the next start or stop joins it.
void StopAcquisition();

// [any] True from StartAcquisition until StopAcquisition (or an acquisition
// thread that ended on an error). Lock-free.
bool AcquisitionRunning();

}  // namespace varnix
