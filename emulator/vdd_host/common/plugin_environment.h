// Finds and loads what a run needs: the station library beside the module
// (or on the loader's path), the station profile, and the module itself.
// Every failure is one line a newcomer can act on; vdd-host exits 3 with it.
#pragma once

#include "emulator/plugin_module.h"
#include "emulator/vdd_host/common/host_options.h"
#include "emulator/vdd_host/common/station_observer.h"

#include <string>

namespace varnix::vddhost {

struct PluginEnvironment {
    StationObserver station;
    emulator::PluginModule module;
    std::string profileName;  // for the report
};

// [host] Sets VARNIX_STATION_PROFILE when a profile is given, opens the
// station, then loads the module. Returns "" on success, else the error line.
std::string LoadEnvironment(const HostOptions& options, PluginEnvironment& environment);

}  // namespace varnix::vddhost
