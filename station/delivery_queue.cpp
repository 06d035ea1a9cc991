#include "delivery_queue.h"

#include <utility>

namespace varnix::station {

std::vector<float> DeliveryQueue::Array(size_t count) {
    std::vector<float> values;
    if (!spare_.empty()) {
        values = std::move(spare_.back());
        spare_.pop_back();
    }
    values.resize(count);
    return values;
}

void DeliveryQueue::Recycle(std::vector<float>&& values) {
    // One array per queued frame, the one handed out and the one being made.
    if (spare_.size() <= capacity_ + 1) spare_.push_back(std::move(values));
}

bool DeliveryQueue::Push(QueuedFrame&& frame) {
    queue_.push_back(std::move(frame));
    if (queue_.size() <= capacity_) return false;
    Recycle(std::move(queue_.front().values));
    queue_.pop_front();
    return true;
}

bool DeliveryQueue::Pop(int64_t nowNs, QueuedFrame& frame) {
    if (queue_.empty() || queue_.front().readyNs > nowNs) return false;
    frame = std::move(queue_.front());
    queue_.pop_front();
    return true;
}

void DeliveryQueue::Clear() {
    while (!queue_.empty()) {
        Recycle(std::move(queue_.front().values));
        queue_.pop_front();
    }
}

std::vector<float>& DeliveryQueue::HandOut(std::vector<float>&& values) {
    // The array handed out by the previous poll may be reused from now on.
    Recycle(std::move(handedOut_));
    handedOut_ = std::move(values);
    return handedOut_;
}

}  // namespace varnix::station
