#include "acquisition/acquisition_signal.h"

namespace varnix {

void AcquisitionSignal::RequestStop() {
    running_.store(false);
    // Under the mutex, so that the flag cannot change between the pause's
    // check and its wait.
    std::lock_guard<std::mutex> lock(mutex_);
    pauseCond_.notify_all();
}

bool AcquisitionSignal::PauseUntil(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock<std::mutex> lock(mutex_);
    pauseCond_.wait_until(lock, deadline, [this] { return !running_.load(); });
    return running_.load();
}

}  // namespace varnix
