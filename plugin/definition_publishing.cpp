// ProvideDeviceDefinitions: refresh the catalogue from the station, describe
// every sensor to the host as one device, then make sure acquisition runs.
#include "acquisition/acquisition.h"
#include "catalogue/station_catalogue_build.h"
#include "catalogue/unit_mapping.h"
#include "device/host_result.h"
#include "device/parameter_value_bool.h"
#include "device/trigger_parameter.h"
#include "plugin/acquisition_link.h"
#include "plugin/plugin_operations.h"
#include "plugin/plugin_state.h"

#include <string>
#include <utility>

using ViconDigitalDevice::IDeviceDefinitionBuilder;

namespace varnix {

namespace {

// The description every sensor's device carries; name and name-again are the
// sensor's own.
struct DeviceLiterals {
    const char* manufacturer;
    const char* version;
    const char* deviceType;
    const char* addCommandCaption;
    const char* description;
};
constexpr DeviceLiterals kDeviceLiterals{"Varnix, Inc", "1.0", "EMG", "Add Varnix System",
                                         "Varnix Selkan System"};

// The triggering parameters, published on the first device only.
struct TriggerParameter {
    const char* key;
    const char* displayName;
    const char* help;
};
constexpr TriggerParameter kTriggerParameters[] = {
    {kStartTriggerKey, "Start Input", "Selkan will wait for a start signal"},
    {kStopTriggerKey, "Stop Trigger", "Selkan will wait for a stop signal"},
    {kTriggerOutputsKey, "Trigger Outputs", ""},
};
constexpr const char* kTriggerGroup = "Triggering";
constexpr const char* kStartSignal = "Start";

// Builds the line only when the trace switch is on.
void Trace(const char* text, const std::string& detail = std::string()) {
    if (kPluginTrace) {
        LogToHost((text + detail).c_str(), kLogInfo);
    }
}

// [host] Builds the catalogue from the station with no lock held, then
// swaps it and the metadata into the state. A failed build is logged; it
// leaves the catalogue empty (no stale devices) and the metadata as built.
void RefreshCatalogue() {
    VarnixMetadataBuf metadata{};
    SensorCatalogue catalogue;
    std::string failure;
    const bool built = BuildSensorCatalogue(metadata, catalogue, failure);
    // The build was the station library's first use. Without a library the
    // line about it says all (no devices, no samples), once per module.
    const bool libraryUsable = ReportStationProblemOnce();
    if (!built && libraryUsable) {
        LogToHost(failure.c_str(), kLogError);
    }
    PluginState& state = State();
    std::lock_guard<std::mutex> lock(state.catalogueMutex);
    state.metadata = metadata;
    state.catalogue.swap(catalogue);
    state.catalogueSensorCount.store(state.catalogue.size());
    state.frameMultiple.store(metadata.frameMultiple);
}

SensorCatalogue CopyCatalogue() {
    PluginState& state = State();
    std::lock_guard<std::mutex> lock(state.catalogueMutex);
    return state.catalogue;
}

void PublishTriggering(IDeviceDefinitionBuilder& builder) {
    for (const TriggerParameter& parameter : kTriggerParameters) {
        const ViconDigitalDevice::IParameterValueBool defaultValue;
        ReleaseResult(builder.AddBoolParameter(parameter.key, parameter.displayName, parameter.help,
                                               kTriggerGroup, false, defaultValue, nullptr));
    }
    ReleaseResult(builder.AddSignal(kStartSignal));
}

void PublishSensor(IDeviceDefinitionBuilder& builder, const SensorRecord& sensor, bool first) {
    Trace("Adding device: ", sensor.name);
    ReleaseResult(builder.DefineDevice(
        kDeviceLiterals.manufacturer, sensor.name.c_str(), kDeviceLiterals.version,
        sensor.name.c_str(), kDeviceLiterals.deviceType, kDeviceLiterals.addCommandCaption,
        kDeviceLiterals.description));
    for (const ChannelRecord& channel : sensor.channels) {
        ReleaseResult(builder.AddOutput(channel.name.c_str(), HostUnitFromText(channel.unitText)));
        for (const std::string& component : channel.componentNames) {
            ReleaseResult(builder.AddComponent(component.c_str()));
        }
    }
    if (first) {
        PublishTriggering(builder);
    }
    ReleaseResult(builder.Commit());
    Trace("Device registered!");
}

}  // namespace

void PublishDeviceDefinitions(IDeviceDefinitionBuilder* builder) {
    RefreshCatalogue();
    // The host is called from a copy, so no lock is held meanwhile.
    const SensorCatalogue catalogue = CopyCatalogue();
    if (builder != nullptr) {
        for (size_t i = 0; i < catalogue.size(); ++i) {
            PublishSensor(*builder, catalogue[i], i == 0);
        }
    }
    StartAcquisition(PluginAcquisitionContext());
}

}  // namespace varnix
