// A plug-in whose frame geometry is one sample per stream short: the real
// plug-in built with this file in place of nothing but the geometry's last
// step. Each device then takes S - 1 samples of each stream from the wrong
// places of the frame, the way a plug-in with a wrong samples-per-frame rule
// would; vdd-host, comparing against the station's own layout, must say so.
#define ComputeFrameGeometry ComputeRealFrameGeometry
#include "catalogue/frame_geometry.cpp"
#undef ComputeFrameGeometry

namespace varnix {

std::vector<SensorGeometry> ComputeFrameGeometry(const SensorCatalogue& catalogue,
                                                 int32_t frameMultiple) {
    std::vector<SensorGeometry> geometry = ComputeRealFrameGeometry(catalogue, frameMultiple);
    int32_t offset = 0;
    for (size_t k = 0; k < geometry.size(); ++k) {
        SensorGeometry& sensor = geometry[k];
        sensor.samplesPerFrame -= 1;  // the fault
        sensor.valuesPerFrame = ValuesPerFrame(sensor.samplesPerFrame, catalogue[k].streamCount);
        sensor.frameOffset = offset;
        offset += sensor.valuesPerFrame;
    }
    return geometry;
}

}  // namespace varnix
