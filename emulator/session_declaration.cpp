#include "emulator/session_declaration.h"

#include "emulator/host_operations.h"

#include <utility>

namespace varnix::emulator {

ViconDigitalDevice::IHostResult HostSessionDeclaration::Enter(const char* operation,
                                                              const std::string& arguments,
                                                              bool canFail) {
    if (!lent_.load()) {
        core_.monitor.Report("declaration-not-lent",
                             std::string(operation) + " on the session declaration of device " +
                                 context_.Name() + " after DeclareSession returned",
                             "the declaration is used only during DeclareSession");
    }
    return core_.Enter(operation,
                       context_.Name() + "," + std::to_string(sessionId_) + "," + arguments,
                       context_.Name(), true, canFail);
}

ViconDigitalDevice::IHostResult HostSessionDeclaration::SetPeriod(int64_t period) {
    auto result = Enter(op::kSetPeriod, std::to_string(period), true);
    if (result.error == nullptr) context_.RecordPeriod(sessionId_, period);
    return result;
}

ViconDigitalDevice::IHostResult HostSessionDeclaration::DeclareSignal(
    const char* name, int32_t value1, int32_t value2, int32_t value3, int32_t value4, bool flag) {
    auto result = Enter(op::kDeclareSignal,
                        Quoted(name) + "," + std::to_string(value1) + "," + std::to_string(value2) +
                            "," + std::to_string(value3) + "," + std::to_string(value4) + "," +
                            (flag ? "true" : "false"),
                        true);
    if (result.error == nullptr) {
        context_.RecordSignal(sessionId_, DeclaredSignal{name != nullptr ? name : "", value1,
                                                         value2, value3, value4, flag});
    }
    return result;
}

void HostSessionDeclaration::SetOption(int32_t option) {
    Enter("SetOption", std::to_string(option), false);
    context_.RecordOption(sessionId_, option);
}

ViconDigitalDevice::IHostResult HostSessionDeclaration::SetValueCount(int32_t count) {
    auto result = Enter(op::kSetValueCount, std::to_string(count), true);
    if (result.error == nullptr) context_.RecordValueCount(sessionId_, count);
    return result;
}

}  // namespace varnix::emulator
