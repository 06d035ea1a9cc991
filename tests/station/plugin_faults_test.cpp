// Through the real module: the plug-in survives every fault the station can
// inject, and recovers once the fault is gone.
#include "plugin_driver.h"

using namespace station_test;

namespace {

void FreshStation() {
    unsetenv("VARNIX_STATION_PROFILE");
    VarnixSim_Reset();
}

}  // namespace

TEST(StationFaultsThroughPlugin, MissingAnswersPublishNothingUntilTheStationAnswersAgain) {
    FreshStation();
    varnix::emulator::PluginModule module;
    const struct {
        const char* what;
        void (*inject)();
    } faults[] = {
        {"null sensor names", [] { VarnixSim_FaultAnswer(nullptr, 3, 0); }},
        {"null unit of one item", [] { VarnixSim_FaultAnswer("s04.c2+2", 2, 0); }},
        {"null item list", [] { VarnixSim_FaultItemList(0); }},
        {"empty item list", [] { VarnixSim_FaultItemList(1); }},
        {"disconnected", [] { VarnixSim_DisconnectAfter(0); }},
    };
    for (const auto& fault : faults) {
        SCOPED_TRACE(fault.what);
        fault.inject();
        {
            varnix::emulator::TestHost host;
            Publish(host, module);
            EXPECT_EQ(host.DeviceCount(), 0u);
            host.Shutdown(module);
            EXPECT_EQ(host.Monitor().Count(), 0u) << Violations(host);
        }
        VarnixSim_ClearFaults();
        {
            varnix::emulator::TestHost host;
            Publish(host, module);
            EXPECT_EQ(host.DeviceCount(), 8u);
            host.Shutdown(module);
        }
    }
    // An empty answer is an ordinary name.
    VarnixSim_FaultAnswer("s01.c1", 0, 1);
    {
        varnix::emulator::TestHost host;
        Publish(host, module);
        ASSERT_EQ(host.DeviceCount(), 8u);
        EXPECT_EQ(host.Definitions()[0].outputs[0].name, "");
        host.Shutdown(module);
    }
    EXPECT_TRUE(module.Unload()) << module.ErrorText();
}

TEST(StationFaultsThroughPlugin, StreamingSurvivesFailedPollsSlowAnswersAndDisconnects) {
    FreshStation();
    varnix::emulator::PluginModule module;
    {
        varnix::emulator::TestHost host;
        Publish(host, module);
        Declare(host);
        ASSERT_TRUE(PushesReach(host, 5));

        // Failed polls: frames wait in the queue and come late, none lost.
        VarnixSim_FailPollsFor(150);
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
        uint64_t before = host.Context(0).PushCount();
        ASSERT_TRUE(PushesReach(host, before + 5));
        VarnixSimCounters counters{};
        VarnixSim_GetCounters(&counters);
        EXPECT_EQ(counters.framesDropped, 0u);

        // Slow answers: every call late, the stream keeps going.
        VarnixSim_SlowAnswers(20);
        before = host.Context(0).PushCount();
        EXPECT_TRUE(PushesReach(host, before + 3));
        VarnixSim_ClearFaults();

        // A disconnect mid-session stops the pushes; a reconnect resumes them.
        VarnixSim_DisconnectAfter(0);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        before = TotalPushes(host);
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        EXPECT_EQ(TotalPushes(host), before);
        VarnixSim_Reconnect();
        before = host.Context(0).PushCount();
        EXPECT_TRUE(PushesReach(host, before + 5));

        host.Shutdown(module);
        EXPECT_EQ(host.Monitor().Count(), 0u) << Violations(host);
    }
    EXPECT_TRUE(module.Unload()) << module.ErrorText();
}
