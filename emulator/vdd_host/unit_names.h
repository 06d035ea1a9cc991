// What the host calls its unit codes, for tables, CSV files and plot axes.
#pragma once

#include <cstdint>
#include <string>

namespace varnix::vddhost {

// "V", "m/s", ... ; "code N" for a code the host has no name for.
std::string UnitName(int32_t unitCode);

}  // namespace varnix::vddhost
