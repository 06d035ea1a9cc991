// Shared checks of the fault scenarios: every push a device received must be
// its slice of the station frame delivered at the same position, in order,
// with a sample index that advances by one frame per push.
#pragma once

#include "tests/e2e/e2e_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace faults {

// Where one sensor's values sit in a station frame.
struct Slice {
    size_t offset = 0;
    size_t length = 0;
    int32_t samplesPerFrame = 0;
};

// [test thread] The station's own frame layout, sensor by sensor: what the
// plug-in's pushes must match (the station shares no code with it).
inline std::vector<Slice> StationSlices() {
    std::vector<Slice> slices;
    size_t offset = 0;
    for (size_t s = 0; s < VarnixSim_SensorCount(); ++s) {
        Slice slice;
        slice.offset = offset;
        slice.samplesPerFrame = VarnixSim_SamplesPerFrame(s);
        slice.length = static_cast<size_t>(slice.samplesPerFrame) *
                       static_cast<size_t>(VarnixSim_StreamCount(s));
        offset += slice.length;
        slices.push_back(slice);
    }
    return slices;
}

struct PushCheck {
    bool indexMayRestart = false;  // the test called SessionOpened meanwhile
    uint64_t firstDelivery = 0;    // the station delivery of the device's first push
};

// [test thread] Push k of host device `device` must hold sensor `sensor`'s
// slice of station delivery firstDelivery + k. Stops at the first mismatch
// (one clear message instead of thousands). Returns the pushes checked.
inline size_t ExpectPushesAreDeliveredFrames(varnix::emulator::TestHost& host, size_t device,
                                             size_t sensor, PushCheck check = {}) {
    const std::vector<Slice> slices = StationSlices();
    EXPECT_LT(sensor, slices.size());
    if (sensor >= slices.size()) return 0;
    const Slice slice = slices[sensor];
    const auto pushes = host.Context(device).Pushes();
    std::vector<float> frame;
    int64_t expectedIndex = 0;
    for (size_t k = 0; k < pushes.size(); ++k) {
        const auto& push = pushes[k];
        const std::string where = "device " + std::to_string(device) + " push " + std::to_string(k);
        VarnixSimFrameInfo info{};
        if (VarnixSim_GetDeliveredFrame(check.firstDelivery + k, &info, nullptr, 0) == 0) {
            ADD_FAILURE() << where << ": more pushes than the station delivered frames";
            return k;
        }
        frame.assign(info.valueCount, 0.0f);
        if (VarnixSim_GetDeliveredFrame(check.firstDelivery + k, &info, frame.data(),
                                        frame.size()) == 0 ||
            slice.offset + slice.length > frame.size()) {
            ADD_FAILURE() << where << ": the station no longer keeps the frame's values";
            return k;
        }
        if (push.values.size() != slice.length) {
            ADD_FAILURE() << where << ": " << push.values.size() << " values, the slice has "
                          << slice.length;
            return k;
        }
        for (size_t v = 0; v < slice.length; ++v) {
            if (push.values[v] != frame[slice.offset + v]) {
                ADD_FAILURE() << where << " value " << v << " is " << push.values[v]
                              << ", delivery " << check.firstDelivery + k << " holds "
                              << frame[slice.offset + v] << " (corrupted or reordered)";
                return k;
            }
        }
        if (push.samplesPerFrame != slice.samplesPerFrame) {
            ADD_FAILURE() << where << ": samples per frame " << push.samplesPerFrame;
            return k;
        }
        if (check.indexMayRestart && push.firstSampleIndex == 0) expectedIndex = 0;
        if (push.firstSampleIndex != expectedIndex) {
            ADD_FAILURE() << where << ": first sample index " << push.firstSampleIndex
                          << ", expected " << expectedIndex;
            return k;
        }
        expectedIndex += push.samplesPerFrame;
    }
    return pushes.size();
}

// [test thread] Every device of the host, sensor d for device d.
inline void ExpectEveryDeviceGotItsSlices(varnix::emulator::TestHost& host, PushCheck check = {}) {
    for (size_t d = 0; d < host.DeviceCount(); ++d) {
        SCOPED_TRACE("device " + std::to_string(d));
        ExpectPushesAreDeliveredFrames(host, d, d, check);
    }
}

// [test thread] True once every device has at least `count` pushes.
inline bool PushesReach(varnix::emulator::TestHost& host, uint64_t count,
                        std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    return e2e::Eventually(
        [&] {
            for (size_t d = 0; d < host.DeviceCount(); ++d) {
                if (host.Context(d).PushCount() < count) return false;
            }
            return true;
        },
        limit);
}

inline uint64_t FewestPushes(varnix::emulator::TestHost& host) {
    uint64_t fewest = UINT64_MAX;
    for (size_t d = 0; d < host.DeviceCount(); ++d)
        fewest = std::min(fewest, host.Context(d).PushCount());
    return fewest;
}

inline std::vector<varnix::emulator::LogLine> ErrorLines(varnix::emulator::TestHost& host) {
    std::vector<varnix::emulator::LogLine> errors;
    for (const auto& line : host.LogLines()) {
        if (line.level == 3) errors.push_back(line);
    }
    return errors;
}

// [test thread] Shuts the module down; the host saw no contract violation.
inline void ShutDownCleanly(varnix::emulator::TestHost& host,
                            varnix::emulator::PluginModule& module) {
    host.Shutdown(module);
    EXPECT_EQ(host.Monitor().Count(), 0u) << e2e::Violations(host);
}

using scenario::ShutdownOnEarlyExit;

}  // namespace faults
