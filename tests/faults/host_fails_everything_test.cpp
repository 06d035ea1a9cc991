// The host fails every operation that can fail: first while the plug-in
// publishes and registers, then while it streams and starts a new session.
// The plug-in neither crashes nor stops: failed pushes do not disturb the
// order or the sample index of the pushes after them.
#include "tests/faults/fault_support.h"

TEST(Faults, HostFailingEveryOperation) {
    VarnixSim_Reset();
    varnix::emulator::PluginModule module;
    {
        // Publishing and registering into a host that fails everything.
        varnix::emulator::TestHost host;
        faults::ShutdownOnEarlyExit guard(host, module);
        host.Faults().Fail(varnix::emulator::FaultSwitches::kEveryOperation);
        ASSERT_TRUE(module.Load(e2e::ModulePath())) << module.ErrorText();
        host.Handshake(module);
        EXPECT_TRUE(host.Initialise(module));
        host.ProvideDefinitions(module);
        host.Instantiate(module);
        EXPECT_EQ(host.DeviceCount(), 0u);
        EXPECT_FALSE(faults::ErrorLines(host).empty()) << "the refusals must be told";
        faults::ShutDownCleanly(host, module);
    }
    VarnixSim_Reset();
    {
        // Streaming into a host that starts failing everything.
        varnix::emulator::TestHost host;
        faults::ShutdownOnEarlyExit guard(host, module);
        host.Handshake(module);
        ASSERT_TRUE(host.Initialise(module));
        host.ProvideDefinitions(module);
        host.Instantiate(module);
        ASSERT_GT(host.DeviceCount(), 0u);
        for (size_t d = 0; d < host.DeviceCount(); ++d) host.AttachContext(d);
        for (size_t d = host.DeviceCount(); d-- > 0;)
            host.DeclareSession(d, 100 + static_cast<int32_t>(d));
        ASSERT_TRUE(faults::PushesReach(host, 5));

        host.Faults().Fail(varnix::emulator::FaultSwitches::kEveryOperation);
        const uint64_t before = faults::FewestPushes(host);
        ASSERT_TRUE(faults::PushesReach(host, before + 10)) << "failed pushes stopped the stream";

        // A new session: every parameter read and declaration call fails.
        for (size_t d = host.DeviceCount(); d-- > 0;)
            host.DeclareSession(d, 200 + static_cast<int32_t>(d));
        ASSERT_TRUE(e2e::Eventually([&] {
            for (size_t d = 0; d < host.DeviceCount(); ++d) {
                if (host.GetStatus(d).readyState != 1) return false;
            }
            return true;
        })) << "the session never started while the host failed";
        const uint64_t restarted = faults::FewestPushes(host);
        ASSERT_TRUE(faults::PushesReach(host, restarted + 10));
        host.Faults().ClearFailures();
        faults::ShutDownCleanly(host, module);

        faults::ExpectEveryDeviceGotItsSlices(host);
        const auto pushes = host.Context(0).Pushes();
        EXPECT_EQ(pushes.back().sessionId, 200) << "the pushes follow the new session";
    }
    EXPECT_TRUE(module.Unload()) << module.ErrorText();
}
