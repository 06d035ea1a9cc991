// Through the real module: a replayed recording reaches the host as the
// devices it names, with the units it was recorded in, sample for sample;
// failed polls on top of it lose nothing, and at its end the plug-in's own
// report of a silent station shows.
#include "plugin_driver.h"
#include "replay_recordings.h"

using namespace station_test;

TEST(StationReplayThroughPlugin, TheRecordingReachesItsDevicesAndThenFallsSilent) {
    unsetenv("VARNIX_STATION_PROFILE");
    VarnixSim_Reset();
    const std::string path = TempPath("plugin_replay.bdf");
    TestRecording recording = VddHostStyle(3);
    recording.annotations = {{0.27, 0.054, "recording ends; padding follows", ""}};
    WriteRecording(path, recording);
    constexpr uint64_t kFrames = 10;  // before the end mark, 27 ms each
    char error[512] = "";
    ASSERT_EQ(VarnixSim_LoadProfileFile(path.c_str(), error, sizeof error), 0) << error;

    varnix::emulator::PluginModule module;
    {
        varnix::emulator::TestHost host;
        scenario::ShutdownOnEarlyExit shutdown(host, module);
        Publish(host, module);
        ASSERT_EQ(host.DeviceCount(), 2u);
        const auto definitions = host.Definitions();
        EXPECT_EQ(definitions[0].name, "EMG 1");
        EXPECT_EQ(definitions[1].name, "Leg|L");
        ASSERT_EQ(definitions[0].outputs.size(), 2u);
        EXPECT_EQ(definitions[0].outputs[0].name, "EMG");
        EXPECT_EQ(definitions[0].outputs[0].unitCode, 20) << "volts, as recorded";
        EXPECT_EQ(definitions[0].outputs[1].unitCode, 25) << "other, as recorded";
        EXPECT_EQ(definitions[1].outputs[0].components, std::vector<std::string>{"GYRO X"});

        Declare(host);
        ASSERT_TRUE(PushesReach(host, 2));
        VarnixSim_FailPollsFor(60);  // the frames wait in the queue meanwhile
        ASSERT_TRUE(PushesReach(host, kFrames));
        // The end of the recording: the plug-in says the station went silent.
        ASSERT_TRUE(Eventually(
            [&] {
                for (const auto& line : host.LogLines()) {
                    if (line.level == 3 &&
                        line.text.find("has delivered no frame") != std::string::npos) {
                        return true;
                    }
                }
                return false;
            },
            std::chrono::seconds(6)));
        EXPECT_EQ(host.Context(0).PushCount(), kFrames) << "nothing after the end";

        const int32_t perFrame[] = {54, 10};
        const size_t offsets[] = {0, 108};
        for (size_t d = 0; d < 2; ++d) {
            SCOPED_TRACE("device " + std::to_string(d));
            const auto pushes = host.Context(d).Pushes();
            ASSERT_EQ(pushes.size(), kFrames);
            for (uint64_t k = 0; k < kFrames; ++k) {
                const std::vector<float> frame = ExpectedFrame(recording, static_cast<int64_t>(k));
                const std::vector<float> slice(
                    frame.begin() + static_cast<ptrdiff_t>(offsets[d]),
                    frame.begin() + static_cast<ptrdiff_t>(offsets[d] + pushes[k].values.size()));
                EXPECT_EQ(pushes[k].firstSampleIndex, static_cast<int64_t>(k) * perFrame[d]);
                ASSERT_EQ(pushes[k].values, slice) << "push " << k;
            }
        }
        EXPECT_EQ(VarnixSim_FrameMultiple(), 2);
        host.Shutdown(module);
        EXPECT_EQ(host.Monitor().Count(), 0u) << Violations(host);
    }
    EXPECT_TRUE(module.Unload()) << module.ErrorText();
}
