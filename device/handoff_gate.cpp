#include "device/handoff_gate.h"

#include <boost/thread/locks.hpp>

bool HandoffGate::TakeGate(const std::atomic<bool>& keepWaiting) {
    boost::unique_lock<boost::mutex> lock(mutex_);
    while (count_ == 0) {
        if (!keepWaiting.load()) {
            return false;
        }
        cond_.wait(lock);
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

void HandoffGate::Interrupt() {
    boost::unique_lock<boost::mutex> lock(mutex_);
    cond_.notify_all();
}

int32_t HandoffGate::Count() {
    boost::unique_lock<boost::mutex> lock(mutex_);
    return count_;
}
