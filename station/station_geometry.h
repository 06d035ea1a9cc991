// How this station lays out its frames, by its own rule (the plug-in that
// reads the frames must match it, not share its code).
//
// The station's clock samples every stream of a sensor at the sensor's
// rate, and a polled frame of frameMultiple x 13.5 ms carries every sample
// taken during it. The hardware offers only rates with a whole number of
// samples per frame, so nothing is rounded: a rate within 0.01 Hz of such a
// rate (370.37 Hz for 5 samples per 13.5 ms, written to two decimals) is
// taken as that rate; any other rate has no layout and is refused.
//
// Sensors are grouped by their request-3 name in order of first item, each
// with its streams (items), back to back in that order.
#pragma once

#include "station_tables.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace varnix::station {

// How far a rate may lie from one with whole samples per frame.
constexpr double kRateToleranceHz = 0.01;

struct SensorGeometry {
    std::string name;
    double rate = 0.0;
    int32_t streams = 0;
    int32_t samplesPerStream = 0;  // 0: the rate has no whole samples per frame
};

// [any] The samples each stream carries in one frame of `frameMultiple`
// base frames at `rate`, or nothing when that is not a whole number of at
// least one. Pure.
std::optional<int32_t> SamplesPerStream(int32_t frameMultiple, double rate);

// [any] The rates nearest to `rate` with whole samples per frame, below and
// above it (the one below is 0 when even one sample needs a higher rate), for
// a message that says what to use instead. Pure.
std::pair<double, double> NearestWholeRates(int32_t frameMultiple, double rate);

// [any] Pure; allocates.
std::vector<SensorGeometry> GeometryFromTables(const StationTables& tables);

}  // namespace varnix::station
