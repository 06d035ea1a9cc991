#include "emulator/host_error.h"

#include "emulator/contract_monitor.h"

#include <utility>

namespace varnix::emulator {

HostError::HostError(std::string text, std::string operation, ContractMonitor& monitor)
    : text_(std::move(text)), operation_(std::move(operation)), monitor_(monitor) {}

const char* HostError::Text() {
    return text_.c_str();
}

void HostError::Unused1() {
    monitor_.Report("unused-slot", "IHostError slot 1 called on the result of " + operation_,
                    "slot 1 is never called");
}

void HostError::Release() {
    if (releases_.fetch_add(1) != 0) {
        monitor_.Report("double-release", "the error result of " + operation_ + " released again",
                        "every non-null result released exactly once");
    }
}

ViconDigitalDevice::IHostResult ErrorLedger::Issue(const std::string& text,
                                                   const std::string& operation) {
    auto error = std::make_unique<HostError>(text, operation, monitor_);
    HostError* raw = error.get();
    std::lock_guard<std::mutex> lock(mutex_);
    errors_.push_back(std::move(error));
    return ViconDigitalDevice::IHostResult{raw};
}

size_t ErrorLedger::Issued() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return errors_.size();
}

size_t ErrorLedger::Unreleased() const {
    std::lock_guard<std::mutex> lock(mutex_);
    size_t count = 0;
    for (const auto& error : errors_) count += error->Releases() == 0 ? 1 : 0;
    return count;
}

size_t ErrorLedger::ReleasedTwice() const {
    std::lock_guard<std::mutex> lock(mutex_);
    size_t count = 0;
    for (const auto& error : errors_) count += error->Releases() > 1 ? 1 : 0;
    return count;
}

}  // namespace varnix::emulator
