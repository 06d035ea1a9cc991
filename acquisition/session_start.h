// The session start: brings the station into a new capture when the first
// device asks for one (its configure request, set by DeclareSession).
#pragma once

#include "acquisition/acquisition_context.h"
#include "device/device_list.h"

namespace varnix {

// The station's trigger inputs as a session start configured them.
struct TriggerSettings {
    bool startInput = false;
    bool stopInput = false;
    bool outputTriggers = false;
};

// [acquisition] In this order: every device not ready; varnix_stop; the
// three trigger settings read through the first device's context; the first
// device's configure request cleared; varnix_configure(true, start, stop,
// outputs); varnix_start; every device ready; RequestUpdate on every
// device's context.
//
// "Every device" is the first min(catalogue length, devices.size()) entries
// of `devices`, the catalogue's length asked of `context` again at each step, so a list shortened by a
// refused device is never walked past its end. Without a context on the
// first device the three settings read false; a device without a context
// gets no RequestUpdate. `devices` must not be empty; it is the acquisition
// thread's own copy, so no lock is held while the host or the station is
// called. Blocks for as long as they take; does not allocate. Returns the
// trigger settings it configured.
// Trace lines go to `context`'s services.
TriggerSettings StartSession(const DeviceList& devices, const AcquisitionContext& context);

}  // namespace varnix
