#include "emulator/host_faults.h"

#include <utility>

namespace varnix::emulator {

void FaultSwitches::Fail(const std::string& operation, const std::string& device) {
    std::lock_guard<std::mutex> lock(mutex_);
    failing_.emplace(operation, device);
}

void FaultSwitches::ClearFailures() {
    std::lock_guard<std::mutex> lock(mutex_);
    failing_.clear();
}

bool FaultSwitches::ShouldFail(const std::string& operation, const std::string& device) const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const std::string& op : {operation, std::string(kEveryOperation)}) {
        if (failing_.count({op, kEveryDevice}) != 0) return true;
        if (!device.empty() && failing_.count({op, device}) != 0) return true;
    }
    return false;
}

void FaultSwitches::HoldPushes(int64_t milliseconds, const std::string& device) {
    std::lock_guard<std::mutex> lock(mutex_);
    holds_[device] = milliseconds;
}

int64_t FaultSwitches::PushHoldMs(const std::string& device) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto own = holds_.find(device);
    if (own != holds_.end()) return own->second;
    auto every = holds_.find(kEveryDevice);
    return every != holds_.end() ? every->second : 0;
}

void FaultSwitches::SetPushHook(PushHook hook) {
    auto shared = hook ? std::make_shared<const PushHook>(std::move(hook)) : nullptr;
    std::lock_guard<std::mutex> lock(mutex_);
    hook_ = std::move(shared);
}

std::shared_ptr<const PushHook> FaultSwitches::CurrentPushHook() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return hook_;
}

}  // namespace varnix::emulator
