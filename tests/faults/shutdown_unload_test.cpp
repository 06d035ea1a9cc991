// Shutdown while streaming, then dlclose, 200 times, with Shutdown landing at
// different moments: before the first frame, between frames, and while a push
// is still inside the host. No crash, no hang, no call into the host after
// Shutdown returned, no code of the module left running after the unload.
#include "tests/faults/fault_support.h"

#include <dlfcn.h>

TEST(Faults, ShutdownWhileStreamingThenUnloadTwoHundredTimes) {
    constexpr int kRounds = 200;
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        VarnixSim_Reset();
        varnix::emulator::PluginModule module;
        {
            varnix::emulator::TestHost host;
            faults::ShutdownOnEarlyExit guard(host, module);
            const int moment = round % 4;
            if (moment == 3) host.Faults().HoldPushes(20);  // Shutdown meets a push in the host
            e2e::BringUp(host, module);
            if (HasFatalFailure()) {
                for (const auto& line : host.LogLines()) ADD_FAILURE() << "plug-in said: " << line.text;
                VarnixSimCounters counters{};
                VarnixSim_GetCounters(&counters);
                ADD_FAILURE() << "station: sessions started " << counters.sessionsStarted << ", polls "
                              << counters.polls;
                return;
            }
            if (moment > 0) {
                ASSERT_TRUE(faults::PushesReach(host, static_cast<uint64_t>(moment)));
            }
            host.Shutdown(module);
            ASSERT_EQ(host.Monitor().Count(), 0u) << e2e::Violations(host);
            if (round % 50 == 0) faults::ExpectEveryDeviceGotItsSlices(host);
        }
        ASSERT_TRUE(module.Unload()) << module.ErrorText();
        void* still = dlopen(e2e::ModulePath().c_str(), RTLD_NOW | RTLD_NOLOAD);
        ASSERT_EQ(still, nullptr) << "the module stayed loaded";
    }
}
