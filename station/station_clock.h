// The station's one clock: nanoseconds on CLOCK_MONOTONIC, the clock every
// time of the control API is given in.
#pragma once

#include "contract/base_frame.h"

#include <cstdint>
#include <ctime>

namespace varnix::station {

// [any] Does not block, lock or allocate.
inline int64_t MonotonicNowNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

constexpr int64_t kNsPerMs = 1000000;

}  // namespace varnix::station
