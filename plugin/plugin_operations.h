// The work behind the exports, one function per export that does real work.
// entry_points.cpp wraps each in the exception boundary; these may throw.
#pragma once

#include "host/host_interfaces.h"

namespace varnix {

// [host] Builds the catalogue from the station, publishes one device
// definition per sensor through `builder` (lent for the call), then makes
// sure exactly one acquisition thread runs. (definition_publishing.cpp)
void PublishDeviceDefinitions(ViconDigitalDevice::IDeviceDefinitionBuilder* builder);

// [host] Creates, registers and keeps one device per catalogue sensor.
// hostArg1 and hostArg3 are passed to RegisterDevice unchanged; hostText is
// used only in the log line of an accepted device. (device_instantiation.cpp)
void InstantiateDevices(void* hostArg1, const char* hostText, void* hostArg3);

}  // namespace varnix
