// A drawn station as the simulated station reads it: a profile in JSON, and
// the names its sensors will have.
#pragma once

#include "emulator/vdd_host/validate/round_plan.h"

#include <string>
#include <vector>

namespace varnix::vddhost {

// [any thread] The profile text (see profiles/README.md) of `station`. Every
// rate gives a whole number of samples per frame at the station's frame
// multiple. Allocates.
std::string StationProfileText(const StationDraw& station);

// [any thread] The names the station gives its sensors, in slice order: the
// names a plug-in that publishes one device per sensor gives its devices.
std::vector<std::string> SensorNames(const StationDraw& station);

}  // namespace varnix::vddhost
