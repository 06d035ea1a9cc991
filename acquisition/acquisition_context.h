// What acquisition needs from the plug-in that runs it: the host's device
// list, the catalogue's length and the host services to tell. plugin/
// implements it over its process-wide state; tests implement it over their
// own list, so acquisition never reaches into the plug-in's state.
#pragma once

#include "device/device_list.h"
#include "host/host_interfaces.h"

#include <cstddef>
#include <cstdint>

namespace varnix {

class AcquisitionContext {
public:
    // [acquisition] When the host's device list changed since the copy that
    // `version` names (0: none yet), copies it into `devices`, sets `version`
    // to the copy's and returns true; otherwise leaves both and returns
    // false. Locks the list briefly; never calls the host; allocates only
    // for a copy.
    virtual bool CopyDevicesIfChanged(uint64_t& version, DeviceList& devices) = 0;

    // [acquisition] The version of the host's device list now: it moves
    // whenever the host changes the list. One atomic load; the loop looks at
    // it before every frame's hand-off.
    virtual uint64_t DeviceListVersion() const = 0;

    // [acquisition] The sensor catalogue's length now: the session start
    // serves that many devices at most. Lock-free.
    virtual size_t CatalogueSensorCount() const = 0;

    // [acquisition] The frame multiple the station announced with the
    // catalogue (1 before any): its frames come about every multiple x
    // 13.5 ms. Lock-free.
    virtual int32_t FrameMultiple() const = 0;

    // [acquisition][handoff] The host services to log to, or null.
    // Lock-free.
    virtual ViconDigitalDevice::IHostServices* Services() const = 0;

protected:
    ~AcquisitionContext() = default;
};

}  // namespace varnix
