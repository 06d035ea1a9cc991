#include "emulator/vdd_host/common/capture_timing.h"

#include "contract/base_frame.h"

#include <algorithm>
#include <cmath>

namespace varnix::vddhost {

namespace {

// The frame period a device's samples per frame and rate imply.
double FramePeriodOf(int32_t samples, double rateHz) {
    const double period = samples / rateHz;
    const double multiple = std::max(1.0, std::round(period / kBaseFramePeriodS));
    if (std::fabs(period - multiple * kBaseFramePeriodS) <= 0.01 * period)
        return multiple * kBaseFramePeriodS;
    return std::round(period * 1e5) / 1e5;  // EDF+ counts record durations in 10 us
}

}  // namespace

CaptureTiming TimingOf(emulator::TestHost& host, const std::vector<DeviceLayout>& layouts) {
    CaptureTiming timing;
    timing.samplesPerFrame.assign(layouts.size(), 0);
    timing.ratesHz.assign(layouts.size(), 0.0);
    const double timebase = static_cast<double>(host.Settings().timebase.load());
    std::vector<double> declaredRates(layouts.size(), 0.0);
    for (size_t d = 0; d < layouts.size(); ++d) {
        const DeviceLayout& layout = layouts[d];
        if (layout.framePeriodS > 0 && layout.samplesPerFrame > 0) {
            timing.framePeriodS = layout.framePeriodS;
            timing.samplesPerFrame[d] = layout.samplesPerFrame;
            continue;
        }
        if (d >= host.DeviceCount()) continue;
        const auto declarations = host.Context(d).Declarations();
        if (declarations.empty()) continue;
        const emulator::DeclaredSession& latest = declarations.back();
        if (latest.period && *latest.period > 0)
            declaredRates[d] = timebase / static_cast<double>(*latest.period);
        const size_t streams = layout.streams.size();
        if (latest.valueCount && streams > 0 && *latest.valueCount > 0 &&
            static_cast<size_t>(*latest.valueCount) % streams == 0) {
            timing.samplesPerFrame[d] =
                static_cast<int32_t>(static_cast<size_t>(*latest.valueCount) / streams);
        }
        if (timing.framePeriodS <= 0 && timing.samplesPerFrame[d] > 0 && declaredRates[d] > 0) {
            timing.framePeriodS = FramePeriodOf(timing.samplesPerFrame[d], declaredRates[d]);
        }
    }
    for (size_t d = 0; d < layouts.size(); ++d) {
        if (timing.framePeriodS > 0 && timing.samplesPerFrame[d] > 0) {
            timing.ratesHz[d] = timing.samplesPerFrame[d] / timing.framePeriodS;
        } else {
            timing.ratesHz[d] = declaredRates[d];
        }
    }
    return timing;
}

}  // namespace varnix::vddhost
