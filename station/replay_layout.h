// How a recording's signals become the station's sensors, channels and
// components, its rates and its frame multiple.
//
// Names, by the profile's group rule (kAuto unless it says otherwise):
//  - kNames: the transducer field "<sensor>|<channel>|<component>" that
//    vdd-host writes ('|' and '\' inside a name escaped as "\|", "\\");
//    kAuto picks it when every signal's transducer splits into three names;
//  - kSignal (kAuto's choice otherwise): one sensor per signal, the sensor,
//    its one channel and its one component all named by the label (a label
//    used before gets " (signal N)" after it, an empty one is "signal N");
//  - kLabel: the label's last word is the component, the words before it
//    name the sensor and its one channel ("ACC1 X", "ACC1 Y" -> sensor and
//    channel "ACC1", components X and Y); a label of one word is kSignal's.
// Sensors come in the order of their first signal, channels likewise within
// a sensor, components in file order. A sensor's signals share one rate and
// a channel's one unit, or the recording is refused.
//
// Rates: samples per record / record duration. The frame multiple F is the
// profile's, else the one vdd-host noted in the recording field
// ("frameMultiple=2"), else 1. Every rate must give a whole number of
// samples in a frame of F x 13.5 ms, as the station's own rule asks
// (station_geometry.h); a replay never resamples, so another rate is
// refused with the smallest F that would carry every signal of the file.
#pragma once

#include "profile.h"
#include "recording_header.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace varnix::station {

struct ReplayStream {
    size_t signal = 0;   // index into the header's signals
    double scale = 1.0;  // physical value x scale = the value handed out
    int32_t samplesPerFrame = 0;
};

struct ReplayLayout {
    int32_t frameMultiple = 1;
    std::vector<SensorProfile> sensors;  // names, rates, channels with unit texts
    std::vector<ReplayStream> streams;   // item order: sensor, channel, component
};

// [any] Pure; allocates. False with one line in `error` naming the signal.
bool LayOutReplay(const RecordingHeader& header, const ReplayProfile& replay, ReplayLayout& layout,
                  std::string& error);

// [any] The frame multiple vdd-host notes in the recording field
// ("frameMultiple=2"), if the field holds one from 1 to 1000. Pure.
std::optional<int32_t> NotedFrameMultiple(const std::string& recordingField);

}  // namespace varnix::station
