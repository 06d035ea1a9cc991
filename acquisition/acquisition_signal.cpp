#include "acquisition/acquisition_signal.h"

namespace varnix {

void AcquisitionSignal::RequestStop() {
    running_.store(false);
    std::lock_guard<std::mutex> lock(mutex_);
    pauseCond_.notify_all();
    // The gate's device stays alive meanwhile: the acquisition thread holds
    // it in its copy of the device list and clears waitingGate_ under
    // mutex_ before it can let it go.
    if (waitingGate_ != nullptr) {
        waitingGate_->Interrupt();
    }
}

bool AcquisitionSignal::PauseUntil(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock<std::mutex> lock(mutex_);
    pauseCond_.wait_until(lock, deadline, [this] { return !running_.load(); });
    return running_.load();
}

bool AcquisitionSignal::TakeGate(HandoffGate& gate) {
    // The flag is cleared before RequestStop reads waitingGate_, and the
    // gate reads the flag after waitingGate_ is set: either the stop finds
    // the gate and interrupts it, or the gate finds the flag cleared.
    struct WaitingRecord {
        AcquisitionSignal& signal;
        WaitingRecord(AcquisitionSignal& s, HandoffGate& gate) : signal(s) {
            std::lock_guard<std::mutex> lock(signal.mutex_);
            signal.waitingGate_ = &gate;
        }
        ~WaitingRecord() {
            std::lock_guard<std::mutex> lock(signal.mutex_);
            signal.waitingGate_ = nullptr;
        }
    } record(*this, gate);
    return gate.TakeGate(running_);
}

}  // namespace varnix
