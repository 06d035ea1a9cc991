// The host's unit codes: the name vdd-host shows for each (tables, CSV
// files, plot axes, --range), the physical dimension it writes into an
// EDF+/BDF+ header, and the physical range a signal of that unit gets there
// unless --range says otherwise, from the tools' one table
// (contract/unit_table.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace varnix::vddhost {

struct UnitInfo {
    int32_t code = 0;
    const char* name = "";          // "V", "other", ...
    const char* edfDimension = "";  // at most 8 characters
    const char* rangeMin = "";      // default physical range, as written in the header
    const char* rangeMax = "";
};

// "V", "m/s", ... ; "code N" for a code the host has no name for.
std::string UnitName(int32_t unitCode);

// The entry of a code; for a code the host has no name for, an entry with
// the code's name, an empty dimension and the fallback range.
UnitInfo UnitOf(int32_t unitCode);

// The entry whose name is `name`; false when no unit has that name.
bool UnitNamed(const std::string& name, UnitInfo& unit);

// Every named unit, in code order (for --help and error messages).
const std::vector<UnitInfo>& Units();

}  // namespace varnix::vddhost
