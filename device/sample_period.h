// The sample period a device declares to the host: the host's timebase ticks
// per sample, truncated toward zero.
#pragma once

#include <cstdint>

namespace varnix {

// [host] Host timebase divided by the sensor's rate, in 64-bit floating
// point, truncated toward zero. A rate of 0, a negative or non-finite rate,
// and a quotient outside the signed 64-bit range have no period to declare:
// the answer is then 0 ("no period known") and `representable` is set false,
// so the caller can say so. Never throws; does not allocate.
int64_t SamplePeriod(uint32_t timebase, double sampleRate, bool& representable) noexcept;

}  // namespace varnix
