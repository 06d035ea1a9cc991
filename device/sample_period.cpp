#include "device/sample_period.h"

#include <cmath>

namespace varnix {

int64_t SamplePeriod(uint32_t timebase, double sampleRate, bool& representable) noexcept {
    // 2^63 is exact in a double; any quotient at or past it does not fit.
    constexpr double kLimit = 9223372036854775808.0;
    representable = false;
    if (!(sampleRate > 0.0) || !std::isfinite(sampleRate)) {
        return 0;
    }
    const double quotient = static_cast<double>(timebase) / sampleRate;
    if (!std::isfinite(quotient) || quotient >= kLimit) {
        return 0;
    }
    representable = true;
    return static_cast<int64_t>(quotient);  // truncates toward zero
}

}  // namespace varnix
