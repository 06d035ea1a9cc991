// The declaration the host hands to one device's DeclareSession: records the
// calls as lines (`SetPeriod(1499)`, `SetValueCount(108)`, `SetOption(0)`).
// [host] only: the module declares on the host's thread.
#pragma once

#include "tests/windows/call_journal.h"
#include "tests/windows/host_error.h"
#include "tests/windows/sdk_interfaces.h"

namespace declaration_calls {
Text SetPeriod(int64_t period);
Text DeclareSignal(const char* name, int32_t value1, int32_t value2, int32_t value3, int32_t value4,
                   bool flag);
Text SetOption(int32_t option);
Text SetValueCount(int32_t count);
}  // namespace declaration_calls

class SessionDeclaration final : public ViconDigitalDevice::ISessionDeclaration {
public:
    ViconDigitalDevice::IHostResult SetPeriod(int64_t period) override;
    ViconDigitalDevice::IHostResult DeclareSignal(const char* name, int32_t value1, int32_t value2,
                                                  int32_t value3, int32_t value4,
                                                  bool flag) override;
    void SetOption(int32_t option) override;
    ViconDigitalDevice::IHostResult SetValueCount(int32_t count) override;

    const CallJournal& Calls() const { return calls_; }

private:
    CallJournal calls_;
};
