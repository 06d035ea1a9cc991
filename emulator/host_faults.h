// Rehearsal switches: make host operations fail, hold pushes, or hand every
// push to a hook, so tests and people can watch the plug-in cope.
#pragma once

#include "emulator/push_record.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>

namespace varnix::emulator {

// Runs inside PushSamples on the pushing thread [handoff]; it may block (the
// plug-in then waits, as with a slow host). Returning false, or throwing,
// makes the push fail; an exception never reaches the plug-in.
using PushHook = std::function<bool(const PushView&)>;

// [any thread] Every member takes the switches' mutex briefly; setters may be
// called while the plug-in is streaming. No member calls out under the mutex.
class FaultSwitches {
public:
    static constexpr const char* kEveryOperation = "*";
    static constexpr const char* kEveryDevice = "";

    // Makes `operation` ("RegisterDevice", "PushSamples", ... or "*") fail for
    // the device named `device` ("" for every device and for calls that
    // belong to none).
    void Fail(const std::string& operation, const std::string& device = kEveryDevice);
    void ClearFailures();
    bool ShouldFail(const std::string& operation, const std::string& device) const;

    // Every push of `device` ("" every device) waits this long before it returns.
    void HoldPushes(int64_t milliseconds, const std::string& device = kEveryDevice);
    int64_t PushHoldMs(const std::string& device) const;

    // Replaces the hook (null removes it). The hook in force when a push
    // begins is the one it runs, even if it is replaced meanwhile.
    void SetPushHook(PushHook hook);
    std::shared_ptr<const PushHook> CurrentPushHook() const;

private:
    mutable std::mutex mutex_;
    std::set<std::pair<std::string, std::string>> failing_;  // (operation, device)
    std::map<std::string, int64_t> holds_;                   // device -> ms
    std::shared_ptr<const PushHook> hook_;
};

}  // namespace varnix::emulator
