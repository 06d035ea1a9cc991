// The station's polls answer false for 5 s while it keeps producing (its
// queue overflows meanwhile), then frames come again: the devices resume with
// exactly the frames the station hands out, in order, none corrupted; the
// host's log tells a person of the silence and of the recovery.
#include "tests/faults/fault_support.h"

TEST(Faults, PollsFalseForFiveSecondsThenFramesAgain) {
    VarnixSim_Reset();
    varnix::emulator::PluginModule module;
    {
        varnix::emulator::TestHost host;
        faults::ShutdownOnEarlyExit guard(host, module);
        e2e::BringUp(host, module);
        if (HasFatalFailure()) return;
        ASSERT_TRUE(faults::PushesReach(host, 5));

        VarnixSim_FailPollsFor(5000);
        std::this_thread::sleep_for(std::chrono::milliseconds(500));  // hand-offs in flight land
        const uint64_t stalled = faults::FewestPushes(host);
        std::this_thread::sleep_for(std::chrono::milliseconds(3000));
        EXPECT_LE(faults::FewestPushes(host), stalled + 1) << "pushes while every poll failed";

        ASSERT_TRUE(faults::PushesReach(host, stalled + 20))
            << "no frames after the polls recovered";
        VarnixSimCounters counters{};
        VarnixSim_GetCounters(&counters);
        EXPECT_GT(counters.framesDropped, 0u) << "the station's queue should have overflowed";

        size_t silenceLines = 0;
        size_t recoveryLines = 0;
        for (const auto& line : host.LogLines()) {
            silenceLines +=
                line.text.find("delivered no frame") != std::string::npos && line.level == 3;
            recoveryLines += line.text.find("frames again") != std::string::npos && line.level == 1;
        }
        EXPECT_EQ(silenceLines, 1u) << "one error line for the silence";
        EXPECT_EQ(recoveryLines, 1u) << "one information line when frames come again";

        faults::ShutDownCleanly(host, module);
        faults::ExpectEveryDeviceGotItsSlices(host);
    }
    EXPECT_TRUE(module.Unload()) << module.ErrorText();
}
