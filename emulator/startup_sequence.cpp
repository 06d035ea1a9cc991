#include "emulator/startup_sequence.h"

namespace varnix::emulator {

StartupSequence::StartupSequence(TestHost& host, PluginModule& module, StartupPlan plan,
                                 StartupHooks* hooks)
    : host_(host), module_(module), plan_(plan), hooks_(hooks ? *hooks : defaultHooks_) {}

bool StartupSequence::RunThrough(StartupStep last) {
    while (!stopped_ && (!taken_ || *taken_ < last)) {
        const auto next = taken_ ? static_cast<StartupStep>(static_cast<int>(*taken_) + 1)
                                 : StartupStep::kHandshake;
        if (!Take(next)) {
            stopped_ = true;
            break;
        }
        taken_ = next;
    }
    return !stopped_;
}

bool StartupSequence::Take(StartupStep step) {
    const int repeats = step == StartupStep::kDefinitions ? plan_.definitionRequests : 1;
    for (int repeat = 1; repeat <= repeats; ++repeat) {
        if (!TakeOnce(step, repeat)) return false;
    }
    return true;
}

bool StartupSequence::TakeOnce(StartupStep step, int repeat) {
    if (!hooks_.Before(*this, step, repeat)) return false;
    switch (step) {
        case StartupStep::kHandshake:
            hooks_.Call("HostAPIVersion or PluginAPIVersion",
                        [&] { pluginVersion_ = host_.Handshake(module_, plan_.hostVersion); });
            break;
        case StartupStep::kInitialise:
            hooks_.Call("Initialise", [&] { initialised_ = host_.Initialise(module_); });
            break;
        case StartupStep::kDefinitions:
            hooks_.Call("ProvideDeviceDefinitions", [&] { host_.ProvideDefinitions(module_); });
            break;
        case StartupStep::kInstantiation:
            hooks_.Call("OnManualDeviceInstantiation",
                        [&] { host_.Instantiate(module_, plan_.hostText); });
            break;
        case StartupStep::kAttach:
            for (size_t d = 0; d < host_.DeviceCount(); ++d)
                hooks_.Call("IDevice::AttachContext", [&] { host_.AttachContext(d); });
            break;
        case StartupStep::kDeclare:
            for (size_t d = 0; d < host_.DeviceCount(); ++d)
                hooks_.Call("IDevice::DeclareSession",
                            [&] { host_.DeclareSession(d, plan_.sessionId); });
            break;
    }
    return true;
}

}  // namespace varnix::emulator
