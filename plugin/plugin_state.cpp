#include "plugin/plugin_state.h"

namespace varnix {

PluginState& State() {
    // Constructed at load, destroyed at unload with the devices it still holds.
    static PluginState state;
    return state;
}

void LogToHost(const char* text, int32_t level) {
    ViconDigitalDevice::IHostServices* services = State().services.load(std::memory_order_acquire);
    if (services != nullptr && text != nullptr) {
        services->Log(text, level);
    }
}

}  // namespace varnix
