// How fast each device's samples come: samples per stream per frame, the
// frame period, and the rate, known before the first push of a session.
#pragma once

#include "emulator/test_host.h"
#include "emulator/vdd_host/common/device_layout.h"

#include <cstdint>
#include <vector>

namespace varnix::vddhost {

struct CaptureTiming {
    double framePeriodS = 0.0;             // 0: unknown
    std::vector<int32_t> samplesPerFrame;  // per device; 0: unknown
    std::vector<double> ratesHz;           // per device, samples per second per stream; 0: unknown
};

// [host] From the station's geometry when it is observable (simulated);
// otherwise from what each device declared for its latest session: its value
// count over its streams gives the samples per frame, its period the rate,
// and the frame period is the whole number of 13.5 ms base frames nearest
// samples / rate (or samples / rate itself when that is not near a multiple).
// Allocates.
CaptureTiming TimingOf(emulator::TestHost& host, const std::vector<DeviceLayout>& layouts);

}  // namespace varnix::vddhost
