// Reading one of the three trigger settings back from the host.
#pragma once

#include "host/host_interfaces.h"

namespace varnix {

// The keys of the three trigger settings, defined with the first device.
inline constexpr const char* kStartTriggerKey = "StartTrigger";
inline constexpr const char* kStopTriggerKey = "StopTrigger";
inline constexpr const char* kTriggerOutputsKey = "TriggerOutputs";

// [host][acquisition] Lends a fresh boolean value (false) to
// context.GetParameterValue(value, key, ""), releases a non-null result at
// once and returns what the value holds then (any non-zero byte is true). A
// host that leaves the value unfilled yields false, whether or not it reports
// an error; a host that fills it yields what it filled in, also beside an
// error result (the result is released, not read). The host may fill the
// value with AssignBytes or with SetValue. `key` is lent for the call. Blocks
// for as long as the host takes; holds no lock; allocates nothing itself.
bool ReadBoolParameter(ViconDigitalDevice::IDeviceContext& context, const char* key);

}  // namespace varnix
