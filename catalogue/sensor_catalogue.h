// The plug-in's single picture of the station: the sensors it reports, in
// the order of their slices in a polled frame, each with its rate, its number
// of sample streams and its channels.
//
// Plain data. The process-wide catalogue lives in the plug-in state, guarded
// by its catalogue mutex ([host] builds and reads it; [acquisition] reads only
// its length, through an atomic copy).
//
// The rest of the folder:
//   catalogue_build.h          the two build phases, pure (station answers in, catalogue out)
//   station_catalogue_build.h  BuildSensorCatalogue: the same through the bridge
//   unit_mapping.h             HostUnitFromText: unit text to host unit code
//   frame_geometry.h           samples, values and offset of each sensor in a frame
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace varnix {

struct ChannelRecord {
    std::string name;                         // answer to request 0 for the channel's group id
    std::string unitText;                     // answer to request 2 for the channel's first item
    std::vector<std::string> componentNames;  // answer to request 0 per item, in item order
};

struct SensorRecord {
    std::string name;                     // answer to request 3; distinct within the catalogue
    double sampleRate = 0.0;              // rate at the position of the first item
    int32_t streamCount = 0;              // items of the sensor
    std::vector<ChannelRecord> channels;  // in order of first appearance
};

using SensorCatalogue = std::vector<SensorRecord>;

}  // namespace varnix
