#include "delivered_frames.h"

#include <algorithm>

namespace varnix::station {

void DeliveredFrames::Record(const VarnixSimFrameInfo& info, int64_t dueNs, const float* values,
                             size_t count) {
    if (slots_.size() < kCapacity) {
        slots_.resize(kCapacity);
    }
    Slot& slot = slots_[info.deliveryIndex % kCapacity];
    if (slot.hasValues) {
        valuesHeld_ -= slot.values.size();
    }
    slot.info = info;
    slot.dueNs = dueNs;
    slot.values.assign(values, values + count);
    slot.hasValues = true;
    valuesHeld_ += count;
    recorded_ = info.deliveryIndex + 1;
    if (recorded_ > kCapacity) {
        oldestWithValues_ = std::max(oldestWithValues_, recorded_ - kCapacity);
    }
    EnforceBudget();
}

void DeliveredFrames::EnforceBudget() {
    // The newest frame always keeps its values, whatever its size.
    while (valuesHeld_ > kValueBudget && oldestWithValues_ + 1 < recorded_) {
        Slot& slot = slots_[oldestWithValues_ % kCapacity];
        if (slot.hasValues) {
            valuesHeld_ -= slot.values.size();
            std::vector<float>().swap(slot.values);
            slot.hasValues = false;
        }
        ++oldestWithValues_;
    }
}

bool DeliveredFrames::Get(uint64_t deliveryIndex, VarnixSimFrameInfo* info, float* values,
                          size_t capacity) const {
    if (deliveryIndex >= recorded_ || recorded_ - deliveryIndex > kCapacity || slots_.empty()) {
        return false;
    }
    const Slot& slot = slots_[deliveryIndex % kCapacity];
    if (values != nullptr) {
        if (!slot.hasValues) {
            return false;
        }
        std::copy_n(slot.values.begin(), std::min(capacity, slot.values.size()), values);
    }
    if (info != nullptr) {
        *info = slot.info;
    }
    return true;
}

bool DeliveredFrames::GetDue(uint64_t deliveryIndex, int64_t& dueNs) const {
    if (deliveryIndex >= recorded_ || recorded_ - deliveryIndex > kCapacity || slots_.empty()) {
        return false;
    }
    dueNs = slots_[deliveryIndex % kCapacity].dueNs;
    return true;
}

void DeliveredFrames::Clear() {
    slots_.clear();
    recorded_ = 0;
    oldestWithValues_ = 0;
    valuesHeld_ = 0;
}

}  // namespace varnix::station
