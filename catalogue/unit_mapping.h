// The host's unit code for a channel's unit text, as the station words it.
#pragma once

#include <cstdint>
#include <string>

namespace varnix {

// [host] Compares `unitText` with the unit table from the top down, byte for
// byte (letter case counts, nothing is trimmed) and returns the code of the
// first equal entry, or 25 when none is equal. Always between 0 and 25.
// No state, no lock, no failure; does not allocate; `unitText` is lent for the call.
int32_t HostUnitFromText(const std::string& unitText);

// The code for every text the table does not hold.
constexpr int32_t kUnknownHostUnit = 25;

}  // namespace varnix
