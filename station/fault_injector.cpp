#include "fault_injector.h"

#include <chrono>
#include <thread>

namespace varnix::station {

void FaultInjector::FailPollsUntil(int64_t atNs) {
    std::lock_guard<std::mutex> lock(mutex_);
    failPollsUntilNs_ = atNs;
}

bool FaultInjector::PollsFail(int64_t nowNs) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return nowNs < failPollsUntilNs_;
}

void FaultInjector::FaultAnswer(const char* id, int32_t code, bool empty) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (id == nullptr) {
        anyIdAnswers_[code] = empty;
    } else {
        answers_[{id, code}] = empty;
    }
}

std::optional<const char*> FaultInjector::Answer(const std::string& id, int32_t code) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto fault = answers_.find({id, code});
    if (fault != answers_.end()) return AnswerFor(fault->second);
    const auto anyId = anyIdAnswers_.find(code);
    if (anyId != anyIdAnswers_.end()) return AnswerFor(anyId->second);
    return std::nullopt;
}

void FaultInjector::FaultItemList(bool empty) {
    std::lock_guard<std::mutex> lock(mutex_);
    itemList_ = empty;
}

std::optional<const char*> FaultInjector::ItemList() const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!itemList_) return std::nullopt;
    return AnswerFor(*itemList_);
}

void FaultInjector::SleepIfSlow() const {
    const int64_t ms = slowMs_.load();
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void FaultInjector::Clear() {
    slowMs_.store(0);
    std::lock_guard<std::mutex> lock(mutex_);
    failPollsUntilNs_ = 0;
    answers_.clear();
    anyIdAnswers_.clear();
    itemList_.reset();
}

}  // namespace varnix::station
