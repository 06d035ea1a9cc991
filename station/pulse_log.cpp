#include "pulse_log.h"

namespace varnix::station {

void PulseLog::Record(int32_t input, int32_t source, int64_t timeNs) {
    std::lock_guard<std::mutex> lock(mutex_);
    const VarnixSimPulse pulse{recorded_, timeNs, input, source};
    if (ring_.size() < kCapacity) {
        ring_.push_back(pulse);
    } else {
        ring_[recorded_ % kCapacity] = pulse;
    }
    ++recorded_;
}

uint64_t PulseLog::Count() {
    std::lock_guard<std::mutex> lock(mutex_);
    return recorded_;
}

bool PulseLog::Get(uint64_t sequence, VarnixSimPulse* out) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (sequence >= recorded_ || recorded_ - sequence > ring_.size() || out == nullptr) {
        return false;
    }
    *out = ring_[sequence % kCapacity];
    return true;
}

void PulseLog::Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    ring_.clear();
    recorded_ = 0;
}

}  // namespace varnix::station
