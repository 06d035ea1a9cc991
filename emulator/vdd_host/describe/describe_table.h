// The readable table of published device definitions `vdd-host describe` prints.
#pragma once

#include "emulator/published_devices.h"

#include <ostream>
#include <vector>

namespace varnix::vddhost {

// [host] Allocates; writes to `out` only.
void PrintDefinitions(const std::vector<emulator::DeviceDefinition>& devices, std::ostream& out);

}  // namespace varnix::vddhost
