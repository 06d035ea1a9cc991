#include "acquisition/acquisition_signal.h"

namespace varnix {

void AcquisitionSignal::RequestStop() {
    running_.store(false);
    stops_.fetch_add(1);
    platform::WakeAllOnWord(stops_);
}

// The stop count is read before the flag: a stop in between moves the count,
// and the sleep on it returns at once.
bool AcquisitionSignal::PauseUntil(Clock::time_point deadline) {
    for (;;) {
        const uint32_t stops = stops_.load();
        if (!running_.load()) {
            return false;
        }
        if (Clock::now() >= deadline) {
            return true;
        }
        platform::WaitOnWordUntil(stops_, stops, deadline);
    }
}

}  // namespace varnix
