// The host's one ordered record of every call the plug-in made into it, and
// of every call the host made into the plug-in's devices.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <tuple>
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

// How many calls of one operation one thread made, over the log's whole life
// (kept also for records the window let go).
struct CallTally {
    std::string threadName;
    uint64_t thread = 0;
    std::string operation;
    uint64_t calls = 0;
};

// [host][acquisition][handoff] Every member may be called from any thread;
// each takes the log's own mutex for a short copy and may allocate. Never
// calls out while holding it.
class CallLog {
public:
    // Appends one record stamped with the calling thread and time; returns
    // its sequence number.
    uint64_t Append(std::string operation, std::string arguments);
    // The records kept (all of them, unless a window is set), oldest first.
    std::vector<CallRecord> Snapshot() const;
    std::vector<CallRecord> Of(const std::string& operation) const;
    size_t Count(const std::string& operation) const;
    size_t Size() const;

    // Keeps only the last `records` records (0: every one), so that a
    // plug-in that calls the host on every frame runs in flat memory; the
    // tallies and the count of records let go still cover every call.
    void KeepLast(size_t records);
    uint64_t Dropped() const;
    std::vector<CallTally> Tallies() const;

    // Called with every new record, on the calling thread, after the log's
    // mutex is released; records of concurrent calls may reach it out of
    // sequence order. Null removes it.
    using Observer = std::function<void(const CallRecord&)>;
    void SetObserver(Observer observer);

private:
    mutable std::mutex mutex_;
    std::deque<CallRecord> records_;
    uint64_t appended_ = 0;
    uint64_t dropped_ = 0;
    size_t window_ = 0;  // 0: unbounded
    // (thread name, thread, operation) -> calls
    std::map<std::tuple<std::string, uint64_t, std::string>, uint64_t> tallies_;
    std::shared_ptr<const Observer> observer_;
};

}  // namespace varnix::emulator
