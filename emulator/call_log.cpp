#include "emulator/call_log.h"

#include "emulator/thread_identity.h"

#include <utility>

namespace varnix::emulator {

uint64_t CallLog::Append(std::string operation, std::string arguments) {
    CallRecord record;
    record.operation = std::move(operation);
    record.arguments = std::move(arguments);
    record.thread = CurrentThreadId();
    record.threadName = CurrentThreadName();
    record.timeNs = MonotonicNowNs();
    std::shared_ptr<const Observer> observer;
    uint64_t sequence = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        sequence = record.sequence = appended_++;
        ++tallies_[{record.threadName, record.thread, record.operation}];
        observer = observer_;
        if (window_ > 0 && records_.size() >= window_) {
            records_.pop_front();
            ++dropped_;
        }
        if (!observer) {
            records_.push_back(std::move(record));
            return sequence;
        }
        records_.push_back(record);
    }
    (*observer)(record);
    return sequence;
}

void CallLog::SetObserver(Observer observer) {
    auto shared = observer ? std::make_shared<const Observer>(std::move(observer)) : nullptr;
    std::lock_guard<std::mutex> lock(mutex_);
    observer_ = std::move(shared);
}

std::vector<CallRecord> CallLog::Snapshot() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return {records_.begin(), records_.end()};
}

void CallLog::KeepLast(size_t records) {
    std::lock_guard<std::mutex> lock(mutex_);
    window_ = records;
    while (window_ > 0 && records_.size() > window_) {
        records_.pop_front();
        ++dropped_;
    }
}

uint64_t CallLog::Dropped() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return dropped_;
}

std::vector<CallTally> CallLog::Tallies() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<CallTally> tallies;
    for (const auto& [key, calls] : tallies_) {
        tallies.push_back({std::get<0>(key), std::get<1>(key), std::get<2>(key), calls});
    }
    return tallies;
}

std::vector<CallRecord> CallLog::Of(const std::string& operation) const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<CallRecord> matching;
    for (const CallRecord& record : records_) {
        if (record.operation == operation) matching.push_back(record);
    }
    return matching;
}

size_t CallLog::Count(const std::string& operation) const {
    std::lock_guard<std::mutex> lock(mutex_);
    size_t count = 0;
    for (const CallRecord& record : records_) count += record.operation == operation ? 1 : 0;
    return count;
}

size_t CallLog::Size() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return records_.size();
}

}  // namespace varnix::emulator
