// The seven exports the capture host calls, with C linkage. Each runs its
// work inside the exception boundary: nothing escapes into the host.
#include "acquisition/acquisition.h"
#include "bridge/bridge.h"
#include "plugin/export_boundary.h"
#include "plugin/plugin_operations.h"
#include "plugin/plugin_state.h"

using namespace ViconDigitalDevice;

namespace {

// [host] Stops and closes the station, then releases every device front to
// back. The list is emptied under its lock; the devices are released after
// the lock is given up, since a device's destructor may take a while.
void ShutdownPlugin() {
    varnix::GuardExport("Shutdown: ending acquisition", [] { varnix::StopAcquisition(); });
    varnix::GuardExport("Shutdown: stopping the station", [] { varnix_stop(); });
    varnix::GuardExport("Shutdown: closing the station", [] {
        varnix_close();
        varnix::ReportStationProblemOnce();  // a host that shuts down before any definitions
    });
    varnix::GuardExport("Shutdown: releasing the devices", [] {
        varnix::PluginState& state = varnix::State();
        varnix::DeviceList released;
        {
            std::lock_guard<std::mutex> lock(state.deviceListMutex);
            released.reserve(state.devices.size());
            for (auto& device : state.devices) {
                released.push_back(std::move(device));
            }
            state.devices.clear();  // keeps its storage
            ++state.deviceListVersion;
        }
        for (auto& device : released) {
            device.reset();
        }
    });
}

}  // namespace

extern "C" {

// [host] Keeps the host's version; the first argument means nothing to us.
VARNIX_EXPORT void HostAPIVersion(void* /*ignored*/, int32_t hostVersion) {
    varnix::State().hostApiVersion.store(hostVersion, std::memory_order_release);
}

// [host] 1 while the host spoke version 1 (or said nothing), else 2.
VARNIX_EXPORT int32_t PluginAPIVersion() {
    return varnix::State().hostApiVersion.load(std::memory_order_acquire) == 1 ? 1 : 2;
}

// [host] Keeps the host's services (borrowed for the module's life). Always true.
VARNIX_EXPORT bool Initialise(IHostServices* services) {
    varnix::State().services.store(services, std::memory_order_release);
    return true;
}

// [host] Builds the catalogue, publishes the devices and starts acquisition.
VARNIX_EXPORT void ProvideDeviceDefinitions(IDeviceDefinitionBuilder* builder) {
    varnix::GuardExport("ProvideDeviceDefinitions",
                        [builder] { varnix::PublishDeviceDefinitions(builder); });
}

// [host] Keeps the host's registrar (borrowed for the module's life).
VARNIX_EXPORT void BeginDeviceInstantiation(IDeviceRegistrar* registrar) {
    varnix::State().registrar.store(registrar, std::memory_order_release);
}

// [host] Creates and registers one device per sensor of the catalogue.
VARNIX_EXPORT void OnManualDeviceInstantiation(void* hostArg1, const char* hostText,
                                               void* hostArg3) {
    varnix::GuardExport("OnManualDeviceInstantiation",
                        [=] { varnix::InstantiateDevices(hostArg1, hostText, hostArg3); });
}

// [host] Ends acquisition, stops and closes the station, releases the
// devices. Blocks until no plug-in thread runs; safe to call again.
VARNIX_EXPORT void Shutdown() {
    ShutdownPlugin();
}

}  // extern "C"
