// The host declares a new session to every device while frames stream. The
// station is restarted once for it; pushes switch from the old session id to
// the new one and never back, and the values stay each device's slice of the
// frames in station order.
#include "tests/faults/fault_support.h"

TEST(Faults, SessionDeclaredAgainWhileStreaming) {
    VarnixSim_Reset();
    varnix::emulator::PluginModule module;
    {
        varnix::emulator::TestHost host;
        faults::ShutdownOnEarlyExit guard(host, module);
        e2e::BringUp(host, module);
        if (HasFatalFailure()) return;
        for (size_t d = 0; d < host.DeviceCount(); ++d) host.SessionOpened(d);
        ASSERT_TRUE(faults::PushesReach(host, 10));

        for (size_t d = host.DeviceCount(); d-- > 0;)
            host.DeclareSession(d, 500 + static_cast<int32_t>(d));
        ASSERT_TRUE(e2e::Eventually([&] {
            for (size_t d = 0; d < host.DeviceCount(); ++d) {
                if (host.GetStatus(d).readyState != 1) return false;
            }
            return true;
        })) << "the new session never made the devices ready";
        for (size_t d = 0; d < host.DeviceCount(); ++d) host.SessionOpened(d);
        const uint64_t restarted = faults::FewestPushes(host);
        ASSERT_TRUE(faults::PushesReach(host, restarted + 10));
        faults::ShutDownCleanly(host, module);

        VarnixSimCounters counters{};
        VarnixSim_GetCounters(&counters);
        EXPECT_EQ(counters.sessionsStarted, 2u);
        for (size_t d = 0; d < host.DeviceCount(); ++d) {
            SCOPED_TRACE("device " + std::to_string(d));
            const auto pushes = host.Context(d).Pushes();
            const int32_t oldId = 100 + static_cast<int32_t>(d),
                          newId = 500 + static_cast<int32_t>(d);
            bool switched = false;
            for (const auto& push : pushes) {
                if (push.sessionId == newId) switched = true;
                ASSERT_EQ(push.sessionId, switched ? newId : oldId) << "push " << push.pushNumber;
            }
            EXPECT_TRUE(switched);
            faults::PushCheck check;
            check.indexMayRestart = true;
            faults::ExpectPushesAreDeliveredFrames(host, d, d, check);
        }
    }
    EXPECT_TRUE(module.Unload()) << module.ErrorText();
}
