// One capture end to end through the real module: every device receives
// exactly its slice of every frame, in order, numbered 0, S, 2S...; Shutdown
// leaves the station stopped and closed with no poll after the close.
#include "tests/e2e/e2e_support.h"

#include <algorithm>

namespace {

// Two sensors of one channel each: S1 with two items at 1000 Hz (S = 14,
// 28 values at offset 0), S2 with one item at 2000 Hz (S = 27 at offset 28).
void ScriptStation() {
    VarnixSim_Reset();
    VarnixSim_ScriptItemList("A+1|A+2|B+1|");
    VarnixSim_ScriptFrameMultiple(1);
    const double rates[] = {1000.0, 1000.0, 2000.0};
    VarnixSim_ScriptRates(rates, 3);
    VarnixSim_ScriptAnswer("A+1", 2, "MILLIVOLTS");
    VarnixSim_ScriptAnswer("A", 0, "EMG A");
    VarnixSim_ScriptAnswer("A+1", 0, "A1");
    VarnixSim_ScriptAnswer("A+1", 3, "S1");
    VarnixSim_ScriptAnswer("A+2", 2, "MILLIVOLTS");
    VarnixSim_ScriptAnswer("A+2", 0, "A2");
    VarnixSim_ScriptAnswer("A+2", 3, "S1");
    VarnixSim_ScriptAnswer("B+1", 2, "MILLIVOLTS");
    VarnixSim_ScriptAnswer("B", 0, "EMG B");
    VarnixSim_ScriptAnswer("B+1", 0, "B1");
    VarnixSim_ScriptAnswer("B+1", 3, "S2");
}

constexpr int kFrameValues = 28 + 27;

float Value(int frame, int position) {
    return static_cast<float>(frame * 100000 + position);
}

}  // namespace

TEST(EndToEnd, EveryDeviceReceivesExactlyItsSliceOfEveryFrame) {
    constexpr int kFrames = 25;
    ScriptStation();
    varnix::emulator::PluginModule module;
    {
        varnix::emulator::TestHost host;
        scenario::ShutdownOnEarlyExit guard(host, module);
        e2e::BringUp(host, module);
        ASSERT_EQ(host.DeviceCount(), 2u);
        for (size_t d = 0; d < 2; ++d) host.SessionOpened(d);

        VarnixSim_LogPolls(1);
        for (int f = 0; f < kFrames; ++f) {
            std::vector<float> frame(kFrameValues);
            for (int v = 0; v < kFrameValues; ++v) frame[static_cast<size_t>(v)] = Value(f, v);
            VarnixSim_ScriptFrame(frame.data(), frame.size());
        }
        // A push is counted as it enters the host and recorded as it returns:
        // wait for the records.
        ASSERT_TRUE(e2e::Eventually([&] {
            return host.Context(0).Pushes().size() >= kFrames &&
                   host.Context(1).Pushes().size() >= kFrames;
        }));

        const int samples[] = {14, 27};
        const int offsets[] = {0, 28};
        const int lengths[] = {28, 27};
        for (size_t d = 0; d < 2; ++d) {
            const auto pushes = host.Context(d).Pushes();
            ASSERT_EQ(pushes.size(), static_cast<size_t>(kFrames)) << "device " << d;
            for (int f = 0; f < kFrames; ++f) {
                const auto& push = pushes[static_cast<size_t>(f)];
                EXPECT_EQ(push.sessionId, 100 + static_cast<int32_t>(d));
                EXPECT_EQ(push.firstSampleIndex, int64_t{f} * samples[d])
                    << "device " << d << " frame " << f;
                EXPECT_EQ(push.samplesPerFrame, samples[d]);
                ASSERT_EQ(push.values.size(), static_cast<size_t>(lengths[d]));
                for (int v = 0; v < lengths[d]; ++v) {
                    ASSERT_EQ(push.values[static_cast<size_t>(v)], Value(f, offsets[d] + v))
                        << "device " << d << " frame " << f << " value " << v;
                }
            }
        }

        host.Shutdown(module);
        const std::vector<std::string> calls = e2e::StationCallNames();
        const auto close = std::find(calls.rbegin(), calls.rend(), "close");
        ASSERT_NE(close, calls.rend());
        EXPECT_EQ(close, calls.rbegin()) << "nothing reaches the station after the close";
        const std::vector<std::string> tail(calls.end() - 3, calls.end());
        EXPECT_EQ(tail, (std::vector<std::string>{"stop", "stop", "close"}));
        EXPECT_EQ(host.Monitor().Count(), 0u) << e2e::Violations(host);
        for (const auto& line : host.LogLines()) EXPECT_NE(line.level, 3) << line.text;
    }
    EXPECT_TRUE(module.Unload()) << module.ErrorText();
}

TEST(EndToEnd, DefinitionsAfterShutdownStartAcquisitionAgain) {
    ScriptStation();
    varnix::emulator::PluginModule module;
    {
        varnix::emulator::TestHost host;
        e2e::BringUp(host, module);
        host.Shutdown(module);
    }
    {
        // The same loaded module, a second life: publishing starts a poller again.
        ScriptStation();
        VarnixSim_LogPolls(1);
        varnix::emulator::TestHost host;
        host.Initialise(module);
        host.ProvideDefinitions(module);
        ASSERT_TRUE(e2e::Eventually([] {
            const auto calls = e2e::StationCallNames();
            return std::count(calls.begin(), calls.end(), "pollData") >= 3;
        }));
        host.Shutdown(module);
    }
    EXPECT_TRUE(module.Unload()) << module.ErrorText();
}
