#include "emulator/contract_monitor.h"

#include "emulator/thread_identity.h"

#include <utility>

namespace varnix::emulator {

void ContractMonitor::Report(std::string rule, std::string what, std::string expected) {
    Violation violation{std::move(rule), std::move(what), std::move(expected), CurrentThreadId(),
                        CurrentThreadName()};
    std::lock_guard<std::mutex> lock(mutex_);
    ++total_;
    if (++counts_[violation.rule] <= kKeptPerRule) violations_.push_back(std::move(violation));
}

std::vector<Violation> ContractMonitor::Violations() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return violations_;
}

size_t ContractMonitor::Count() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return total_;
}

size_t ContractMonitor::Count(const std::string& rule) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = counts_.find(rule);
    return found == counts_.end() ? 0 : found->second;
}

std::map<std::string, size_t> ContractMonitor::CountsByRule() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return counts_;
}

std::string Describe(const Violation& violation) {
    return violation.rule + ": " + violation.what + " (expected " + violation.expected +
           ") [thread " + violation.threadName + " " + std::to_string(violation.thread) + "]";
}

}  // namespace varnix::emulator
