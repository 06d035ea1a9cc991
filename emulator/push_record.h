// What the host keeps of one PushSamples call.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace varnix::emulator {

struct PushRecord {
    size_t device = 0;  // index in registration order
    std::string deviceName;
    uint64_t sequence = 0;    // in the host's call log
    uint64_t pushNumber = 0;  // 0, 1, 2 ... per device
    int32_t sessionId = 0;
    int64_t firstSampleIndex = 0;
    int32_t samplesPerFrame = 0;
    std::vector<int32_t> channelIndices;  // copied from the lent array
    int32_t channelCount = 0;
    std::vector<float> values;  // copied (empty when the host keeps no values)
    int32_t valueCount = 0;
    uint64_t thread = 0;  // kernel thread id of the pushing thread
    int64_t timeNs = 0;   // CLOCK_MONOTONIC at entry
};

// The arguments of a push as the plug-in lent them, for the push hook. The
// pointers are valid only during the hook call.
struct PushView {
    size_t device = 0;
    const char* deviceName = "";
    uint64_t pushNumber = 0;
    int32_t sessionId = 0;
    int64_t firstSampleIndex = 0;
    int32_t samplesPerFrame = 0;
    const int32_t* channelIndices = nullptr;
    int32_t channelCount = 0;
    const float* values = nullptr;
    int32_t valueCount = 0;
    int64_t timeNs = 0;
};

}  // namespace varnix::emulator
