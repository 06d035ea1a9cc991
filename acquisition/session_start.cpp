#include "acquisition/session_start.h"

#include "bridge/bridge.h"
#include "device/trigger_parameter.h"
#include "device/vdevice.h"

#include <algorithm>

namespace varnix {

namespace {

// The catalogue is read again at every bound check: a rebuild on the host's
// thread may change its length while the session starts.
size_t DevicesToServe(const DeviceList& devices) {
    return std::min(State().catalogueSensorCount.load(), devices.size());
}

void Trace(const char* text) {
    if (kPluginTrace) {
        LogToHost(text, kLogInfo);
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

TriggerSettings StartSession(const DeviceList& devices) {
    for (size_t i = 0; i < DevicesToServe(devices); ++i) {
        devices[i]->SetReadyState(0);
    }
    Trace("Configure Called");
    varnix_stop();

    vDevice& first = *devices.front();
    const TriggerSettings settings = ReadTriggerSettings(first);
    first.ClearConfigureRequest();

    Trace("Varnix Configure Called");
    varnix_configure(true, settings.startInput, settings.stopInput, settings.outputTriggers);
    Trace("Varnix Start Called");
    varnix_start();

    for (size_t i = 0; i < DevicesToServe(devices); ++i) {
        devices[i]->SetReadyState(1);
        Trace("Device Ready");
    }
    for (size_t i = 0; i < DevicesToServe(devices); ++i) {
        ViconDigitalDevice::IDeviceContext* context = devices[i]->Context();
        if (context != nullptr) {
            context->RequestUpdate();
        }
    }
    return settings;
}

}  // namespace varnix
