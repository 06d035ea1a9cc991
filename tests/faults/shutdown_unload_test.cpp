// Shutdown while streaming, then dlclose, 200 times, with Shutdown landing at
// different moments: before the first frame, between frames, while a push is
// still inside the host, and in the middle of a pass that waits at a device
// whose push the host holds. No crash, no hang, no call into the host after
// Shutdown returned, no plug-in thread left once it returned, no code of the
// module left running after the unload, and every polled frame finished for
// every device.
#include "tests/faults/fault_support.h"
#include "tests/support/plugin_threads.h"

#include <dlfcn.h>

#include <atomic>

namespace {

constexpr size_t kHeldDevice = 3;  // in the middle of the default station's 8

// [test thread] Holds the held device's second push for 40 ms, three frame
// periods: the pass of the frames after it waits at that device's gate,
// with the devices before it served and the ones after it not yet.
void HoldInTheMiddleOfThePass(varnix::emulator::TestHost& host, std::atomic<bool>& held) {
    host.Faults().SetPushHook([&held](const varnix::emulator::PushView& push) {
        if (push.device == kHeldDevice && push.pushNumber == 1) {
            held.store(true);
            std::this_thread::sleep_for(std::chrono::milliseconds(40));
        }
        return true;
    });
}

}  // namespace

TEST(Faults, ShutdownWhileStreamingThenUnloadTwoHundredTimes) {
    constexpr int kRounds = 200;
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        VarnixSim_Reset();
        varnix::emulator::PluginModule module;
        {
            varnix::emulator::TestHost host;
            faults::ShutdownOnEarlyExit guard(host, module);
            const int moment = round % 5;
            std::atomic<bool> held{false};                  // [handoff] sets, test thread reads
            if (moment == 3) host.Faults().HoldPushes(20);  // Shutdown meets a push in the host
            if (moment == 4) HoldInTheMiddleOfThePass(host, held);
            e2e::BringUp(host, module);
            if (HasFatalFailure()) {
                for (const auto& line : host.LogLines())
                    ADD_FAILURE() << "plug-in said: " << line.text;
                VarnixSimCounters counters{};
                VarnixSim_GetCounters(&counters);
                ADD_FAILURE() << "station: sessions started " << counters.sessionsStarted
                              << ", polls " << counters.polls;
                return;
            }
            if (moment == 4) {
                ASSERT_TRUE(e2e::Eventually([&] { return held.load(); }));
                std::this_thread::sleep_for(
                    std::chrono::milliseconds(20));  // the next pass reaches the gate
            } else if (moment > 0) {
                ASSERT_TRUE(faults::PushesReach(host, static_cast<uint64_t>(moment)));
            }
            host.Shutdown(module);
            EXPECT_EQ(plugin_threads::PluginThreadCount(), 0u)
                << "a plug-in thread outlived Shutdown";
            ASSERT_EQ(host.Monitor().Count(), 0u) << e2e::Violations(host);
            if (moment == 4) {
                // The frame whose pass the stop met reached every device.
                const uint64_t pushes = host.Context(0).PushCount();
                for (size_t d = 1; d < host.DeviceCount(); ++d) {
                    EXPECT_EQ(host.Context(d).PushCount(), pushes) << "device " << d;
                }
            }
            if (round % 50 == 0 || moment == 4) faults::ExpectEveryDeviceGotItsSlices(host);
            host.Faults().SetPushHook(nullptr);
        }
        ASSERT_TRUE(module.Unload()) << module.ErrorText();
        void* still = dlopen(e2e::ModulePath().c_str(), RTLD_NOW | RTLD_NOLOAD);
        ASSERT_EQ(still, nullptr) << "the module stayed loaded";
    }
}
