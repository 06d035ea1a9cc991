// The frame geometry as the plug-in derives it from the station's answers:
// sensors grouped by their request-3 name in order of first item, each with
// its streams (items) and S samples per stream per frame, where
// S = round-half-away(frameMultiple x rate-at-first-item x 0.0135).
#pragma once

#include "station_tables.h"

#include <cstdint>
#include <string>
#include <vector>

namespace varnix::station {

struct SensorGeometry {
    std::string name;
    double      rate = 0.0;
    int32_t     streams = 0;
    int32_t     samplesPerStream = 0;
};

// [any] Pure; allocates.
int32_t SamplesPerStream(int32_t frameMultiple, double rate);
std::vector<SensorGeometry> GeometryFromTables(const StationTables& tables);

}  // namespace varnix::station
