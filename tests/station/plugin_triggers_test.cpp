// Through the real module: the host's trigger parameters reach the station's
// inputs, and the pulses gate what the devices receive.
#include "plugin_driver.h"

using namespace station_test;

namespace {

// Publish, attach, set one trigger parameter on every device, declare.
void DeclareWithTrigger(varnix::emulator::TestHost& host, varnix::emulator::PluginModule& module,
                        const char* key) {
    Publish(host, module);
    ASSERT_EQ(host.DeviceCount(), 8u);
    for (size_t d = 0; d < host.DeviceCount(); ++d) host.AttachContext(d);
    host.SetParameter("", key, true);
    for (size_t d = host.DeviceCount(); d-- > 0;)
        host.DeclareSession(d, 100 + static_cast<int32_t>(d));
    ASSERT_TRUE(Eventually([&] { return host.GetStatus(0).readyState == 1; }));
    for (size_t d = 0; d < host.DeviceCount(); ++d) host.SessionOpened(d);
}

std::string LastConfigure() {
    std::string arguments;
    VarnixSimCall call{};
    for (size_t i = 0; VarnixSim_GetCall(i, &call) != 0; ++i) {
        if (std::string(call.function) == "configure") arguments = call.arguments;
    }
    return arguments;
}

}  // namespace

TEST(StationTriggersThroughPlugin, StartInputHoldsThePushesUntilThePulse) {
    unsetenv("VARNIX_STATION_PROFILE");
    VarnixSim_Reset();
    varnix::emulator::PluginModule module;
    {
        varnix::emulator::TestHost host;
        DeclareWithTrigger(host, module, "StartTrigger");
        EXPECT_EQ(LastConfigure(), "1,1,0,0");
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        EXPECT_EQ(TotalPushes(host), 0u);
        VarnixSim_StartPulse();
        EXPECT_TRUE(PushesReach(host, 5));
        host.Shutdown(module);
        EXPECT_EQ(host.Monitor().Count(), 0u) << Violations(host);
    }
    EXPECT_TRUE(module.Unload()) << module.ErrorText();
}

TEST(StationTriggersThroughPlugin, StopInputEndsThePushesAtThePulse) {
    unsetenv("VARNIX_STATION_PROFILE");
    VarnixSim_Reset();
    varnix::emulator::PluginModule module;
    {
        varnix::emulator::TestHost host;
        DeclareWithTrigger(host, module, "StopTrigger");
        EXPECT_EQ(LastConfigure(), "1,0,1,0");
        ASSERT_TRUE(PushesReach(host, 5));
        VarnixSim_StopPulse();
        // The frames made before the pulse still come out of the queue; on a
        // slow machine (a sanitizer build) that takes longer than a fixed pause.
        ASSERT_TRUE(Eventually([] {
            VarnixSimCounters counters{};
            VarnixSim_GetCounters(&counters);
            return counters.framesDelivered + counters.framesDropped >= counters.framesProduced;
        })) << "the station's queue never drained";
        std::this_thread::sleep_for(std::chrono::milliseconds(150));  // the last hand-offs land
        const uint64_t after = TotalPushes(host);
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        EXPECT_EQ(TotalPushes(host), after);
        host.Shutdown(module);
        EXPECT_EQ(host.Monitor().Count(), 0u) << Violations(host);
    }
    EXPECT_TRUE(module.Unload()) << module.ErrorText();
}
