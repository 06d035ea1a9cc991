// The plug-in's process-wide state: one instance per loaded module.
//
// Thread tags as in host/host_interfaces.h: [host], [acquisition], [handoff].
// Nothing here is held locked while the host or the station is called: a
// walker copies what it needs under the lock and calls out after releasing it.
#pragma once

#include "bridge/bridge.h"
#include "catalogue/sensor_catalogue.h"
#include "device/device_list.h"
#include "host/host_interfaces.h"
#include "host/host_log.h"

#include <atomic>
#include <cstdint>
#include <mutex>

namespace varnix {

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
    std::mutex catalogueMutex;
    VarnixMetadataBuf metadata{};
    SensorCatalogue catalogue;
    std::atomic<size_t> catalogueSensorCount{0};  // [host] writes, [acquisition] reads
    std::atomic<int32_t> frameMultiple{1};        // [host] writes, [acquisition] reads

    // [host] appends and empties, [acquisition] copies. deviceListMutex guards
    // `devices` and `deviceListVersion`; the acquisition thread refreshes its
    // own copy only when the version moved, so a cycle allocates nothing.
    // Versions start at 1: 0 names no copy at all. The version is changed
    // under the mutex and atomic, so that the loop can see it move without
    // taking the mutex before every frame.
    std::mutex deviceListMutex;
    DeviceList devices;
    std::atomic<uint64_t> deviceListVersion{1};
};

// The one instance; constructed at load, destroyed at unload.
PluginState& State();

// [host] Sends one line to the Log of the services the host gave to
// Initialise; does nothing before Initialise or when it gave none. Never
// throws.
void LogToHost(const char* text, int32_t level);

// [host] Once the station library has been looked for: when it cannot be
// used, tells the host why, once per loaded module (the first time this is
// called with the host's services known). Returns whether the library can
// be used. Never throws.
bool ReportStationProblemOnce();

}  // namespace varnix
