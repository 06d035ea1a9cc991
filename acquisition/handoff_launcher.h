// Starting the hand-off thread of one device for one frame.
//
// The thread holds a shared pointer to its device, so the device outlives the
// delivery even when the host empties the device list meanwhile. The thread
// is joinable: the acquisition thread joins it before the device's next
// hand-off and before acquisition ends, so no hand-off outlives the module.
#pragma once

#include "device/vdevice.h"

#include <boost/shared_ptr.hpp>

#include <thread>

namespace varnix {

// Starts a thread that runs device->DeliverFrame(). Throws std::system_error
// when the platform cannot start a thread (the device's gate is then still
// taken: the caller gives it back).
using HandoffLauncher = std::thread (*)(const boost::shared_ptr<vDevice>& device);

// [acquisition] The launcher in use. Allocates the thread and its start
// record, the only per-frame allocation.
std::thread LaunchHandoff(const boost::shared_ptr<vDevice>& device);

// [host] Test seam: replaces the launcher (null restores the real one). Set
// it only while no acquisition thread runs. Lock-free.
void SetHandoffLauncher(HandoffLauncher launcher);

// The real launcher: a thread named "varnix-handoff".
std::thread StartHandoffThread(const boost::shared_ptr<vDevice>& device);

}  // namespace varnix
