// The plug-in's process-wide state: one instance per loaded module.
//
// Thread tags as in host/host_interfaces.h: [host], [acquisition], [handoff].
// Nothing here is held locked while the host or the station is called: a
// walker copies what it needs under the lock and calls out after releasing it.
#pragma once

#include "bridge/bridge.h"
#include "catalogue/sensor_catalogue.h"
#include "host/host_interfaces.h"

#include <boost/shared_ptr.hpp>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

class vDevice;

namespace varnix {

// Build-time trace switches: nothing turns them on, so the lines they guard
// are not sent by the delivered plug-in.
constexpr bool kDeviceTrace = false;
constexpr bool kPluginTrace = false;

using DeviceList = std::vector<boost::shared_ptr<vDevice>>;

struct PluginState {
    // [host] HostAPIVersion writes, PluginAPIVersion reads.
    std::atomic<int32_t> hostApiVersion{1};
    // [host] Initialise writes; every thread reads. Borrowed, never released.
    std::atomic<ViconDigitalDevice::IHostServices*> services{nullptr};
    // [host] BeginDeviceInstantiation writes, OnManualDeviceInstantiation reads.
    std::atomic<ViconDigitalDevice::IDeviceRegistrar*> registrar{nullptr};

    // [host] The catalogue, the station metadata it came with, and the
    // catalogue's length for the acquisition thread. catalogueMutex guards
    // `metadata` and `catalogue`; it is never held across a bridge call.
    std::mutex        catalogueMutex;
    VarnixMetadataBuf metadata{};
    SensorCatalogue   catalogue;
    std::atomic<size_t> catalogueSensorCount{0};  // [host] writes, [acquisition] reads

    // [host] appends and empties, [acquisition] copies. deviceListMutex guards
    // `devices` and `deviceListVersion`; the acquisition thread refreshes its
    // own copy only when the version moved, so a cycle allocates nothing.
    std::mutex deviceListMutex;
    DeviceList devices;
    uint64_t   deviceListVersion = 0;
};

// The one instance; constructed at load, destroyed at unload.
PluginState& State();

// [host][acquisition][handoff] Sends one line to the host's Log; does nothing
// before Initialise or when the host gave no services. Never throws.
void LogToHost(const char* text, int32_t level);

constexpr int32_t kLogInfo = 1;
constexpr int32_t kLogError = 3;

}  // namespace varnix
