// The host calls ProvideDeviceDefinitions twice, then OnManualDeviceInstantiation
// twice. One acquisition thread polls the station whatever the number of
// calls, and every device, the doubled ones included, gets its own slice of
// every frame in order.
#include "tests/faults/fault_support.h"

#include <set>

TEST(Faults, DefinitionsAndInstantiationCalledTwice) {
    VarnixSim_Reset();
    varnix::emulator::PluginModule module;
    {
        varnix::emulator::TestHost host;
        faults::ShutdownOnEarlyExit guard(host, module);
        ASSERT_TRUE(module.Load(e2e::ModulePath())) << module.ErrorText();
        host.Handshake(module);
        ASSERT_TRUE(host.Initialise(module));
        host.ProvideDefinitions(module);
        host.ProvideDefinitions(module);
        host.Instantiate(module);
        host.Instantiate(module);
        const size_t sensors = VarnixSim_SensorCount();
        ASSERT_EQ(host.DeviceCount(), 2 * sensors)
            << "each instantiation adds one device per sensor";

        VarnixSim_LogPolls(1);
        for (size_t d = 0; d < host.DeviceCount(); ++d) host.AttachContext(d);
        for (size_t d = host.DeviceCount(); d-- > 0;)
            host.DeclareSession(d, 100 + static_cast<int32_t>(d));
        ASSERT_TRUE(faults::PushesReach(host, 15));
        faults::ShutDownCleanly(host, module);

        std::set<uint64_t> pollers;
        VarnixSimCall call;
        for (size_t i = 0; VarnixSim_GetCall(i, &call) != 0; ++i) {
            if (std::string(call.function) == "pollData") pollers.insert(call.thread);
        }
        EXPECT_EQ(pollers.size(), 1u) << "more than one thread polled the station";
        for (size_t d = 0; d < host.DeviceCount(); ++d) {
            SCOPED_TRACE("device " + std::to_string(d));
            faults::ExpectPushesAreDeliveredFrames(host, d, d % sensors);
        }
    }
    EXPECT_TRUE(module.Unload()) << module.ErrorText();
}
