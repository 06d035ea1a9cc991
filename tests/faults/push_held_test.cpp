// The host holds one push of the first device for 1 s. No second push of that
// device enters the host meanwhile, the other devices wait for the frame too,
// and afterwards every device goes on with the frames in station order.
#include "tests/faults/fault_support.h"

#include <atomic>

TEST(Faults, PushHeldForOneSecond) {
    constexpr uint64_t kHeldPush = 10;
    VarnixSim_Reset();
    varnix::emulator::PluginModule module;
    {
        varnix::emulator::TestHost host;
        faults::ShutdownOnEarlyExit guard(host, module);
        std::atomic<int64_t> heldUntilNs{0};  // [handoff] writes, test thread reads
        // [handoff] Runs inside PushSamples on the plug-in's hand-off thread.
        host.Faults().SetPushHook([&](const varnix::emulator::PushView& push) {
            if (push.device == 0 && push.pushNumber == kHeldPush) {
                std::this_thread::sleep_for(std::chrono::seconds(1));
                heldUntilNs.store(push.timeNs + 1000000000);
            }
            return true;
        });
        e2e::BringUp(host, module);
        if (HasFatalFailure()) return;
        ASSERT_TRUE(faults::PushesReach(host, kHeldPush + 30)) << "the stream did not resume";
        faults::ShutDownCleanly(host, module);  // the monitor also saw no concurrent push

        ASSERT_NE(heldUntilNs.load(), 0);
        const auto pushes = host.Context(0).Pushes();
        ASSERT_GT(pushes.size(), kHeldPush + 1);
        EXPECT_GE(pushes[kHeldPush + 1].timeNs, heldUntilNs.load())
            << "the next push of the held device entered the host before the held one returned";
        faults::ExpectEveryDeviceGotItsSlices(host);
    }
    EXPECT_TRUE(module.Unload()) << module.ErrorText();
}
