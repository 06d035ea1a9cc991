// OnManualDeviceInstantiation: one device per catalogue sensor, placed in the
// frame by the catalogue's geometry, registered with the host, kept if
// accepted.
#include "catalogue/frame_geometry.h"
#include "device/host_result.h"
#include "device/vdevice.h"
#include "plugin/plugin_operations.h"
#include "plugin/plugin_state.h"

#include <boost/make_shared.hpp>

#include <algorithm>
#include <numeric>
#include <string>
#include <vector>

namespace varnix {

namespace {

struct CatalogueCopy {
    SensorCatalogue catalogue;
    int32_t frameMultiple = 0;
};

CatalogueCopy CopyCatalogue() {
    PluginState& state = State();
    std::lock_guard<std::mutex> lock(state.catalogueMutex);
    return CatalogueCopy{state.catalogue, state.metadata.frameMultiple};
}

boost::shared_ptr<vDevice> MakeDevice(const SensorRecord& sensor, const SensorGeometry& geometry) {
    std::vector<int32_t> channelIndices(static_cast<size_t>(std::max(geometry.channelCount, 0)));
    std::iota(channelIndices.begin(), channelIndices.end(), 0);
    return boost::make_shared<vDevice>(State().services.load(), sensor.sampleRate,
                                       geometry.samplesPerFrame, geometry.valuesPerFrame,
                                       geometry.frameOffset, geometry.channelCount,
                                       std::move(channelIndices));
}

void KeepDevice(const boost::shared_ptr<vDevice>& device) {
    PluginState& state = State();
    std::lock_guard<std::mutex> lock(state.deviceListMutex);
    state.devices.push_back(device);
    ++state.deviceListVersion;
}

}  // namespace

void InstantiateDevices(void* hostArg1, const char* hostText, void* hostArg3) {
    const CatalogueCopy copy = CopyCatalogue();
    if (copy.catalogue.empty()) {
        return;
    }
    ViconDigitalDevice::IDeviceRegistrar* registrar = State().registrar.load();
    if (registrar == nullptr) {
        LogToHost(
            "Failed to instantiate devices: the host gave no device registrar "
            "(BeginDeviceInstantiation was not called first).",
            kLogError);
        return;
    }
    // Offsets depend on the catalogue alone: a refused sensor still counts
    // in the offsets of the sensors after it.
    const std::vector<SensorGeometry> geometry =
        ComputeFrameGeometry(copy.catalogue, copy.frameMultiple);
    const std::string acceptedLine =
        std::string("Instantiated varnix device: ") + (hostText != nullptr ? hostText : "");
    for (size_t k = 0; k < copy.catalogue.size(); ++k) {
        const SensorRecord& sensor = copy.catalogue[k];
        boost::shared_ptr<vDevice> device = MakeDevice(sensor, geometry[k]);
        const ViconDigitalDevice::IHostResult result = registrar->RegisterDevice(
            hostArg1, sensor.name.c_str(), hostArg3, sensor.name.c_str(), device.get());
        if (result.error != nullptr) {
            const char* text = result.error->Text();
            const std::string line = std::string("Failed to instantiate device. Error: ") +
                                     (text != nullptr ? text : "");
            LogToHost(line.c_str(), kLogError);
            ReleaseResult(result);
            continue;  // the refused device dies with `device`
        }
        LogToHost(acceptedLine.c_str(), kLogInfo);
        KeepDevice(device);
    }
}

}  // namespace varnix
