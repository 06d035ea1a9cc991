// Pulses on the trigger inputs and the injected faults.
#include "station.h"

#include "station_clock.h"

#include <algorithm>

namespace varnix::station {

void Station::StartPulse() {
    std::lock_guard<std::mutex> lock(mutex_);
    EnsureLoadedLocked();
    const int64_t now = MonotonicNowNs();
    AdvanceLocked(now);
    StartPulseLocked(now, VARNIX_SIM_PULSE_FROM_CONTROL);
}

void Station::StopPulse() {
    std::lock_guard<std::mutex> lock(mutex_);
    EnsureLoadedLocked();
    const int64_t now = MonotonicNowNs();
    AdvanceLocked(now);
    StopPulseLocked(now, VARNIX_SIM_PULSE_FROM_CONTROL);
}

void Station::FailPollsFor(int64_t milliseconds) {
    std::lock_guard<std::mutex> lock(mutex_);
    EnsureLoadedLocked();
    faults_.failPollsUntilNs = MonotonicNowNs() + milliseconds * kNsPerMs;
}

void Station::FaultAnswer(const char* id, int32_t code, bool empty) {
    std::lock_guard<std::mutex> lock(mutex_);
    EnsureLoadedLocked();
    if (id == nullptr) {
        faults_.anyIdAnswers[code] = empty;
    } else {
        faults_.answers[{id, code}] = empty;
    }
}

void Station::FaultItemList(bool empty) {
    std::lock_guard<std::mutex> lock(mutex_);
    EnsureLoadedLocked();
    faults_.itemList = empty;
}

void Station::DisconnectAfter(int64_t milliseconds) {
    std::lock_guard<std::mutex> lock(mutex_);
    EnsureLoadedLocked();
    const int64_t now = MonotonicNowNs();
    AdvanceLocked(now);
    faults_.disconnectAtNs = now + std::max<int64_t>(0, milliseconds) * kNsPerMs;
    AdvanceLocked(now);
}

void Station::Reconnect() {
    std::lock_guard<std::mutex> lock(mutex_);
    EnsureLoadedLocked();
    const int64_t now = MonotonicNowNs();
    AdvanceLocked(now);
    faults_.disconnectAtNs = kNever;
    if (faults_.disconnected) {
        faults_.disconnected = false;
        // Frames resume from now; none pile up for the time away.
        if (session_.flowing) {
            BeginFlowLocked(now);
        }
    }
}

void Station::ClearFaults() {
    Reconnect();
    slowMs_.store(0);
    std::lock_guard<std::mutex> lock(mutex_);
    faults_ = Faults{};
}

}  // namespace varnix::station
