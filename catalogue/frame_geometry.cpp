#include "catalogue/frame_geometry.h"

#include <cmath>

namespace varnix {

namespace {

// Two's-complement wrap of a 32-bit pattern, spelled out so that no
// conversion depends on the compiler.
int32_t FromBits(uint32_t bits) {
    return bits <= 0x7FFFFFFFu ? static_cast<int32_t>(bits)
                               : static_cast<int32_t>(bits - 0x80000000u) + INT32_MIN;
}

int32_t WrappingAdd(int32_t a, int32_t b) {
    return FromBits(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

}  // namespace

int32_t SamplesPerFrame(int32_t frameMultiple, double sampleRate) {
    const double exact =
        (static_cast<double>(frameMultiple) * sampleRate) * kBaseFramePeriodSeconds;
    const double rounded = std::round(exact);
    // Written so that NaN fails too.
    if (!(rounded >= -2147483648.0 && rounded <= 2147483647.0)) {
        return 0;
    }
    return static_cast<int32_t>(rounded);
}

int32_t ValuesPerFrame(int32_t samplesPerFrame, int32_t streamCount) {
    return FromBits(static_cast<uint32_t>(samplesPerFrame) * static_cast<uint32_t>(streamCount));
}

std::vector<SensorGeometry> ComputeFrameGeometry(const SensorCatalogue& catalogue,
                                                 int32_t frameMultiple) {
    std::vector<SensorGeometry> geometry;
    geometry.reserve(catalogue.size());
    int32_t offset = 0;
    for (const SensorRecord& sensor : catalogue) {
        SensorGeometry g;
        g.samplesPerFrame = SamplesPerFrame(frameMultiple, sensor.sampleRate);
        g.valuesPerFrame = ValuesPerFrame(g.samplesPerFrame, sensor.streamCount);
        g.frameOffset = offset;
        g.channelCount = FromBits(static_cast<uint32_t>(sensor.channels.size()));
        offset = WrappingAdd(offset, g.valuesPerFrame);
        geometry.push_back(g);
    }
    return geometry;
}

}  // namespace varnix
