#include "emulator/vdd_host/common/device_layout.h"

#include "contract/base_frame.h"
#include "emulator/vdd_host/common/station_observer.h"

namespace varnix::vddhost {

namespace {}  // namespace

std::vector<DeviceLayout> LayOut(const std::vector<emulator::DeviceDefinition>& definitions,
                                 const std::vector<std::string>& registeredNames,
                                 const StationObserver& station) {
    // Offsets of every definition, counting refused devices too: the frame
    // holds every sensor of the station whether the host took it or not.
    const bool geometry = station.Simulated() && station.SensorCount() == definitions.size();
    std::vector<std::optional<size_t>> offsets(definitions.size());
    std::vector<int32_t> samples(definitions.size(), 0);
    size_t offset = 0;
    for (size_t k = 0; k < definitions.size() && geometry; ++k) {
        samples[k] = station.SamplesPerFrame(k);
        offsets[k] = offset;
        offset += static_cast<size_t>(samples[k]) * definitions[k].ComponentCount();
    }
    const double period = station.Simulated() ? kBaseFramePeriodS * station.FrameMultiple() : 0.0;

    std::vector<DeviceLayout> layouts;
    for (size_t d = 0; d < registeredNames.size(); ++d) {
        DeviceLayout layout;
        layout.device = d;
        layout.name = registeredNames[d];
        layout.framePeriodS = period;
        for (size_t k = 0; k < definitions.size(); ++k) {
            if (definitions[k].name != layout.name) continue;
            for (const auto& output : definitions[k].outputs) {
                for (const auto& component : output.components) {
                    layout.streams.push_back(StreamName{output.name, component, output.unitCode});
                }
            }
            layout.samplesPerFrame = samples[k];
            layout.frameOffset = offsets[k];
            break;
        }
        layouts.push_back(std::move(layout));
    }
    return layouts;
}

}  // namespace varnix::vddhost
