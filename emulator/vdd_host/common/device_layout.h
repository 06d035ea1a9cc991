// Where a registered device's values sit: its streams (output and component
// names, unit code) and, when the station is observable, its slice of every
// delivered frame.
#pragma once

#include "emulator/published_devices.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace varnix::vddhost {

class StationObserver;

struct StreamName {
    std::string output;
    std::string component;
    int32_t unitCode = 0;
};

struct DeviceLayout {
    size_t device = 0;  // host's device index
    std::string name;
    std::vector<StreamName> streams;    // stream j = j-th component over the outputs
    int32_t samplesPerFrame = 0;        // from the station; 0 when unknown
    std::optional<size_t> frameOffset;  // values before the slice in a delivered frame
    double framePeriodS = 0.0;          // 0.0135 s x frame multiple; 0 when unknown
};

// Lays the registered devices over the published definitions (catalogue
// order, which is the station's sensor order). A device whose name matches
// no definition gets no streams and no offset.
std::vector<DeviceLayout> LayOut(const std::vector<emulator::DeviceDefinition>& definitions,
                                 const std::vector<std::string>& registeredNames,
                                 const StationObserver& station);

}  // namespace varnix::vddhost
