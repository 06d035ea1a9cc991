// Acquisition and streaming: one acquisition thread moves frames from the
// station to the devices.
//
//   poll (varnix_pollData) -> per device: TakeGate, copy the slice into the
//   device's buffer, wake the device's hand-off thread -> DeliverFrame pushes
//   it to the host and gives the gate back -> poll again at once while the
//   station has frames waiting -> 10 ms pause -> poll again
//
// Each device of the loop's copy of the device list has one long-lived
// hand-off thread (device_handoffs.h), so no thread is started per frame.
//
// Before each poll the first device's configure request is served by the
// session start (session_start.h). The thread is owned by the acquisition
// controller: started by StartAcquisition, ended and joined by
// StopAcquisition (plugin/plugin_operations.h), never detached.
#pragma once

#include "plugin/plugin_operations.h"

namespace varnix {

// [host] Starts the acquisition thread unless one runs already, so at most
// one loop polls the station at a time. Blocks only to join a thread that
// already ended. Allocates the thread; throws std::system_error when the
// platform cannot start it (nothing then runs, and a later call tries again).
void StartAcquisition();

// [any] True from StartAcquisition until StopAcquisition (or an acquisition
// thread that ended on an error). Lock-free.
bool AcquisitionRunning();

}  // namespace varnix
