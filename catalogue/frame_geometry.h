// Where each sensor's samples lie in a polled frame, as the plug-in derives it
// from the station's answers to place its devices. The station lays out its
// frames by its own rule; the simulated station's is written apart from this
// (station/station_geometry.h), so that a fault here shows as pushes that do
// not match the station's frames.
//
// A frame carries frameMultiple x 13.5 ms of signal. Per sensor:
//   samples per stream S = round(F x sampleRate x 0.0135), halves away from 0
//   values per frame     = S x streamCount (32-bit, wrapping)
//   frame offset         = sum of the values per frame of the sensors before it
// Every function is pure: no state, no lock, defined for every input.
// [host] in the plug-in (device instantiation); any thread elsewhere.
#pragma once

#include "catalogue/sensor_catalogue.h"

#include <cstdint>
#include <vector>

namespace varnix {

// The base frame period in seconds.
constexpr double kBaseFramePeriodSeconds = 0.0135;

// F and the rate are multiplied in 64-bit floating point, then by 0.0135,
// then rounded halves away from zero. A result that does not fit a signed
// 32-bit integer (or is not a number) gives 0: such a sensor contributes no
// samples, rather than an undefined conversion.
int32_t SamplesPerFrame(int32_t frameMultiple, double sampleRate);

// samplesPerFrame x streamCount, wrapping modulo 2^32 like the 32-bit product
// the frame layout is defined by, without signed overflow.
int32_t ValuesPerFrame(int32_t samplesPerFrame, int32_t streamCount);

struct SensorGeometry {
    int32_t samplesPerFrame = 0;
    int32_t valuesPerFrame = 0;
    int32_t frameOffset = 0;  // wrapping sum of valuesPerFrame of the sensors before
    int32_t channelCount = 0;
};

// One entry per catalogue sensor, in catalogue order. Allocates.
std::vector<SensorGeometry> ComputeFrameGeometry(const SensorCatalogue& catalogue,
                                                 int32_t frameMultiple);

}  // namespace varnix
