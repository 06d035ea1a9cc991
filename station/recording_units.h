// What unit text the station answers for a recording's physical dimension,
// and the factor its values are brought to that unit by. vdd-host writes
// the host's unit code as a dimension of its own (V, other, uT, m/s ...):
// each comes back as the station's unit text for that code, so a replayed
// signal reaches the host with the code it was recorded with. Other files'
// millivolts and microvolts become volts; any other dimension is answered
// as it is written (the plug-in maps a text it does not know to "other").
#pragma once

#include <string>

namespace varnix::station {

struct ReplayUnit {
    std::string text;  // the answer to request 2
    double scale;      // physical value x scale = the value handed out
};

// [any] Pure; allocates.
ReplayUnit UnitForDimension(const std::string& dimension);

}  // namespace varnix::station
