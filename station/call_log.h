// The record of every station call, in call order, for tests that check what
// the plug-in asked and from which thread. Keeps the last 65536 calls.
#pragma once

#include "contract/station_control.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace varnix::station {

class CallLog {
public:
    static constexpr size_t kCapacity = 65536;

    // [any] Appends one call made by the calling thread; texts longer than
    // the record's fields are cut. Locks the log's own mutex (never the
    // station's); allocates while the log grows to its capacity.
    void Record(const char* function, const std::string& arguments);

    // [any] Calls kept (at most kCapacity). Locks briefly.
    size_t Count();
    // [any] The index-th kept call, oldest first. Locks briefly.
    bool Get(size_t index, VarnixSimCall* out);
    // [any] Forgets every call and restarts the sequence at 0.
    void Clear();

    // [any] Whether polls are logged too (off by default: a poll every
    // millisecond would crowd out every other call).
    void LogPolls(bool on) { logPolls_.store(on); }
    bool PollsLogged() const { return logPolls_.load(); }

private:
    std::atomic<bool> logPolls_{false};  // [any] LogPolls sets, polls read
    std::mutex mutex_;
    std::vector<VarnixSimCall> ring_;  // grows to kCapacity, then wraps
    uint64_t recorded_ = 0;            // calls since the last clear
};

}  // namespace varnix::station
