// The object behind a non-null IHostResult, and the ledger that proves every
// one of them was released exactly once.
#pragma once

#include "host/host_interfaces.h"

#include <atomic>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

namespace varnix::emulator {

class ContractMonitor;

// Handed to the plug-in inside a failed result; the plug-in releases it once.
// The object stays alive in its ledger after Release so that a second
// Release is caught as a violation instead of freeing twice.
class HostError final : public ViconDigitalDevice::IHostError {
public:
    HostError(std::string text, std::string operation, ContractMonitor& monitor);

    // [any thread] The text belongs to the error and lives as long as the host.
    const char* Text() override;
    // [any thread] Never called by a plug-in that follows the contract.
    void Unused1() override;
    // [any thread] Counts; a second release is reported. Does not free.
    void Release() override;

    int Releases() const { return releases_.load(); }
    const std::string& Operation() const { return operation_; }

private:
    std::string text_;
    std::string operation_;
    ContractMonitor& monitor_;
    std::atomic<int> releases_{0};
};

// Owns every error the host handed out, until the host is destroyed.
// [any thread] Each member takes the ledger's mutex briefly; Issue allocates.
class ErrorLedger {
public:
    explicit ErrorLedger(ContractMonitor& monitor) : monitor_(monitor) {}

    ViconDigitalDevice::IHostResult Issue(const std::string& text, const std::string& operation);
    size_t Issued() const;
    size_t Unreleased() const;     // handed out and not yet released
    size_t ReleasedTwice() const;  // released more than once

private:
    ContractMonitor& monitor_;
    mutable std::mutex mutex_;
    std::deque<std::unique_ptr<HostError>> errors_;
};

}  // namespace varnix::emulator
