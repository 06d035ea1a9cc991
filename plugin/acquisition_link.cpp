#include "plugin/acquisition_link.h"

#include "plugin/plugin_state.h"

#include <mutex>

namespace varnix {

namespace {

class PluginStateContext final : public AcquisitionContext {
public:
    bool CopyDevicesIfChanged(uint64_t& version, DeviceList& devices) override {
        PluginState& state = State();
        std::lock_guard<std::mutex> lock(state.deviceListMutex);
        if (state.deviceListVersion == version) {
            return false;
        }
        devices = state.devices;
        version = state.deviceListVersion;
        return true;
    }

    uint64_t DeviceListVersion() const override { return State().deviceListVersion.load(); }

    size_t CatalogueSensorCount() const override { return State().catalogueSensorCount.load(); }

    int32_t FrameMultiple() const override { return State().frameMultiple.load(); }

    ViconDigitalDevice::IHostServices* Services() const override {
        return State().services.load(std::memory_order_acquire);
    }
};

}  // namespace

AcquisitionContext& PluginAcquisitionContext() {
    static PluginStateContext context;
    return context;
}

}  // namespace varnix
