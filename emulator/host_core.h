// What every host-side object shares: the call log, the contract monitor,
// the error ledger, the rehearsal switches, the host's settings and the
// "Shutdown has returned" mark. One per TestHost.
#pragma once

#include "emulator/call_log.h"
#include "emulator/contract_monitor.h"
#include "emulator/host_error.h"
#include "emulator/host_faults.h"

#include <atomic>
#include <cstdint>
#include <string>

namespace varnix::emulator {

// How GetParameterValue writes a parameter into the plug-in's value object;
// the contract lets a host use either.
enum class ParameterFill { kAssignBytes, kSetValue };

// Settings a test may change at any time; every field is read by whichever
// thread calls the host.
struct HostSettings {
    std::atomic<uint32_t> timebase{1000000000u};  // ticks per second: nanoseconds
    std::atomic<int32_t> startCode{7};
    std::atomic<ParameterFill> fill{ParameterFill::kAssignBytes};
    std::atomic<uint32_t> entryCount{0};      // GetEntryCount answers this
    std::atomic<int32_t> fillEntriesFlag{0};  // FillEntries writes this to *flag
    std::atomic<bool> fillFirstEntry{false};  // FillEntries fills entries[0]
    std::atomic<bool> requestUpdateAnswer{true};
    // The full push list of every device (HostDeviceContext::Pushes), grown
    // by one record a push: for tests that look at every push afterwards.
    // vdd-host turns it off, so an hour-long capture stays the same size.
    std::atomic<bool> keepPushRecords{true};
    std::atomic<bool> keepPushValues{true};  // copy the values into each kept record
    std::atomic<bool> logPushes{true};       // put every push in the call log
};

class HostCore {
public:
    CallLog log;
    ContractMonitor monitor;
    ErrorLedger errors{monitor};
    FaultSwitches faults;
    HostSettings settings;

    // [any thread] The front door of every host operation: records the call
    // (unless `record` is false; `sequence` receives its place in the log),
    // reports it when Shutdown has already returned, and, for operations with
    // a result (`canFail`), answers the failure the rehearsal switches ask
    // for (a fresh error the plug-in must release) or success. Allocates;
    // takes short internal locks; never calls the plug-in.
    ViconDigitalDevice::IHostResult Enter(const std::string& operation,
                                          const std::string& arguments, const std::string& device,
                                          bool record = true, bool canFail = true,
                                          uint64_t* sequence = nullptr);

    // [host] Marks the end of the plug-in's life: from now on any call into
    // the host is a violation.
    void NoteShutdownReturned() { shutdownReturned_.store(true); }
    bool ShutdownReturned() const { return shutdownReturned_.load(); }

private:
    std::atomic<bool> shutdownReturned_{false};
};

// Quotes a text argument for the call log; "(null)" for a null pointer.
std::string Quoted(const char* text);

}  // namespace varnix::emulator
