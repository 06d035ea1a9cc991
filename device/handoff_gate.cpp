#include "device/handoff_gate.h"

#include <boost/thread/locks.hpp>

namespace varnix {

void HandoffGate::TakeGate() {
    boost::unique_lock<boost::mutex> lock(mutex_);
    while (count_ == 0) {
        cond_.wait(lock);
    }
    --count_;
}

bool HandoffGate::TryTakeGate() {
    boost::unique_lock<boost::mutex> lock(mutex_);
    if (count_ == 0) {
        return false;
    }
    --count_;
    return true;
}

void HandoffGate::ReleaseGate() {
    boost::unique_lock<boost::mutex> lock(mutex_);
    ++count_;
    // Only the acquisition thread ever waits here, so one waiter is enough.
    cond_.notify_one();
}

int32_t HandoffGate::Count() {
    boost::unique_lock<boost::mutex> lock(mutex_);
    return count_;
}

}  // namespace varnix
