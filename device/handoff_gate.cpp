#include "device/handoff_gate.h"

namespace varnix {

namespace {

// Holds the gate's mutex for a scope.
class Locked {
public:
    explicit Locked(platform::MutexWithCondition& sync) : sync_(sync) { sync_.Lock(); }
    ~Locked() { sync_.Unlock(); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;

private:
    platform::MutexWithCondition& sync_;
};

}  // namespace

void HandoffGate::TakeGate() {
    const Locked locked(sync_);
    while (count_ == 0) {
        sync_.Wait();
    }
    --count_;
}

bool HandoffGate::TryTakeGate() {
    const Locked locked(sync_);
    if (count_ == 0) {
        return false;
    }
    --count_;
    return true;
}

void HandoffGate::ReleaseGate() {
    const Locked locked(sync_);
    ++count_;
    // Only the acquisition thread ever waits here, so one waiter is enough.
    sync_.NotifyOne();
}

int32_t HandoffGate::Count() {
    const Locked locked(sync_);
    return count_;
}

}  // namespace varnix
