#include "plugin/plugin_state.h"

#include "bridge/station_library.h"

namespace varnix {

PluginState& State() {
    // Constructed at load, destroyed at unload with the devices it still holds.
    static PluginState state;
    return state;
}

void LogToHost(const char* text, int32_t level) {
    LogTo(State().services.load(std::memory_order_acquire), text, level);
}

bool ReportStationProblemOnce() {
    static std::atomic<bool> reported{false};
    const StationLibrary& station = Station();
    if (!station.usable && State().services.load(std::memory_order_acquire) != nullptr &&
        !reported.exchange(true)) {
        LogToHost(station.problem.c_str(), kLogError);
    }
    return station.usable;
}

}  // namespace varnix
