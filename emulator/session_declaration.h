// The host's ISessionDeclaration: lent for one DeclareSession call of one
// device; what it is told lands in that device's context.
#pragma once

#include "emulator/device_context.h"
#include "emulator/host_core.h"
#include "host/host_interfaces.h"

#include <atomic>

namespace varnix::emulator {

// [host] Owned by the TestHost, which keeps it after the call so that a late
// use is reported instead of touching freed memory.
class HostSessionDeclaration final : public ViconDigitalDevice::ISessionDeclaration {
public:
    HostSessionDeclaration(HostCore& core, HostDeviceContext& context, int32_t sessionId)
        : core_(core), context_(context), sessionId_(sessionId) {}

    ViconDigitalDevice::IHostResult SetPeriod(int64_t period) override;
    ViconDigitalDevice::IHostResult DeclareSignal(const char* name, int32_t value1, int32_t value2,
                                                  int32_t value3, int32_t value4,
                                                  bool flag) override;
    void SetOption(int32_t option) override;
    ViconDigitalDevice::IHostResult SetValueCount(int32_t count) override;

    // [host] Set when DeclareSession returns.
    void EndLending() { lent_.store(false); }

private:
    ViconDigitalDevice::IHostResult Enter(const char* operation, const std::string& arguments,
                                          bool canFail);

    HostCore& core_;
    HostDeviceContext& context_;
    const int32_t sessionId_;
    std::atomic<bool> lent_{true};
};

}  // namespace varnix::emulator
