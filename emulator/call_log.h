// The host's one ordered record of every call the plug-in made into it, and
// of every call the host made into the plug-in's devices.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace varnix::emulator {

struct CallRecord {
    uint64_t sequence = 0;  // 0, 1, 2 ... in the order the calls arrived
    std::string operation;  // "Log", "DefineDevice", "PushSamples", ...
    std::string arguments;  // the arguments as text
    uint64_t thread = 0;    // kernel thread id of the caller
    std::string threadName;
    int64_t timeNs = 0;  // CLOCK_MONOTONIC
};

// [host][acquisition][handoff] Every member may be called from any thread;
// each takes the log's own mutex for a short copy and may allocate. Never
// calls out while holding it.
class CallLog {
public:
    // Appends one record stamped with the calling thread and time; returns
    // its sequence number.
    uint64_t Append(std::string operation, std::string arguments);
    std::vector<CallRecord> Snapshot() const;
    std::vector<CallRecord> Of(const std::string& operation) const;
    size_t Count(const std::string& operation) const;
    size_t Size() const;

    // Called with every new record, on the calling thread, after the log's
    // mutex is released; records of concurrent calls may reach it out of
    // sequence order. Null removes it.
    using Observer = std::function<void(const CallRecord&)>;
    void SetObserver(Observer observer);

private:
    mutable std::mutex mutex_;
    std::vector<CallRecord> records_;
    std::shared_ptr<const Observer> observer_;
};

}  // namespace varnix::emulator
