// The host refuses every device registration: the plug-in tells a person each
// refusal in one error line, keeps no device and starts no session. (A single
// refusal is covered through vdd-host in
// VddHostCapture.RefusedDeviceStillLeavesTheOthersAlignedWithTheirSlices.)
#include "tests/faults/fault_support.h"

namespace {

// Handshake, Initialise and definitions; the caller then sets its refusals.
void PublishDefinitions(varnix::emulator::TestHost& host, varnix::emulator::PluginModule& module) {
    ASSERT_TRUE(module.Load(e2e::ModulePath())) << module.ErrorText();
    host.Handshake(module);
    ASSERT_TRUE(host.Initialise(module));
    host.ProvideDefinitions(module);
    ASSERT_EQ(host.Definitions().size(), VarnixSim_SensorCount());
}

size_t RefusalLines(varnix::emulator::TestHost& host) {
    size_t count = 0;
    for (const auto& line : faults::ErrorLines(host)) {
        if (line.text.rfind("Failed to instantiate device. Error: ", 0) == 0) ++count;
    }
    return count;
}

}  // namespace

TEST(Faults, HostRefusesEveryDevice) {
    VarnixSim_Reset();
    varnix::emulator::PluginModule module;
    {
        varnix::emulator::TestHost host;
        faults::ShutdownOnEarlyExit guard(host, module);
        PublishDefinitions(host, module);
        if (HasFatalFailure()) return;
        host.Faults().Fail("RegisterDevice");
        host.Instantiate(module);
        EXPECT_EQ(host.DeviceCount(), 0u);
        EXPECT_EQ(host.Registrations().size(), VarnixSim_SensorCount())
            << "every sensor was offered";
        EXPECT_EQ(RefusalLines(host), VarnixSim_SensorCount()) << "one error line per refusal";
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        VarnixSimCounters counters{};
        VarnixSim_GetCounters(&counters);
        EXPECT_EQ(counters.sessionsStarted, 0u) << "no device, no session";
        faults::ShutDownCleanly(host, module);
    }
    EXPECT_TRUE(module.Unload()) << module.ErrorText();
}
