#include "acquisition/session_start.h"

#include "bridge/bridge.h"
#include "device/trigger_parameter.h"
#include "device/vdevice.h"
#include "host/host_log.h"

#include <algorithm>

namespace varnix {

namespace {

// The catalogue is read again at every bound check: a rebuild on the host's
// thread may change its length while the session starts.
size_t DevicesToServe(const DeviceList& devices, const AcquisitionContext& context) {
    return std::min(context.CatalogueSensorCount(), devices.size());
}

void Trace(const AcquisitionContext& context, const char* text) {
    if (kPluginTrace) {
        LogTo(context.Services(), text, kLogInfo);
    }
}

TriggerSettings ReadTriggerSettings(vDevice& first) {
    TriggerSettings settings;
    ViconDigitalDevice::IDeviceContext* context = first.Context();
    if (context == nullptr) {
        return settings;  // not attached yet: every trigger off
    }
    settings.startInput = ReadBoolParameter(*context, kStartTriggerKey);
    settings.stopInput = ReadBoolParameter(*context, kStopTriggerKey);
    settings.outputTriggers = ReadBoolParameter(*context, kTriggerOutputsKey);
    return settings;
}

}  // namespace

TriggerSettings StartSession(const DeviceList& devices, const AcquisitionContext& context) {
    for (size_t i = 0; i < DevicesToServe(devices, context); ++i) {
        devices[i]->SetReadyState(0);
    }
    Trace(context, "Configure Called");
    varnix_stop();

    vDevice& first = *devices.front();
    const TriggerSettings settings = ReadTriggerSettings(first);
    first.ClearConfigureRequest();

    Trace(context, "Varnix Configure Called");
    varnix_configure(true, settings.startInput, settings.stopInput, settings.outputTriggers);
    Trace(context, "Varnix Start Called");
    varnix_start();

    for (size_t i = 0; i < DevicesToServe(devices, context); ++i) {
        devices[i]->SetReadyState(1);
        Trace(context, "Device Ready");
    }
    for (size_t i = 0; i < DevicesToServe(devices, context); ++i) {
        ViconDigitalDevice::IDeviceContext* context = devices[i]->Context();
        if (context != nullptr) {
            context->RequestUpdate();
        }
    }
    return settings;
}

}  // namespace varnix
