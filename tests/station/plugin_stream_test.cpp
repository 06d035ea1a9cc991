// Through the real module: every device's pushes are exactly its slice of
// the frames the station delivered, with the plug-in's geometry.
#include "plugin_driver.h"

using namespace station_test;

TEST(StationThroughPlugin, SlicesReachTheirDevicesUnchanged) {
    unsetenv("VARNIX_STATION_PROFILE");
    VarnixSim_Reset();
    ASSERT_TRUE(LoadShipped("ramp4.json"));
    constexpr uint64_t kFrames = 20;
    varnix::emulator::PluginModule module;
    {
        varnix::emulator::TestHost host;
        Publish(host, module);
        ASSERT_EQ(host.DeviceCount(), 4u);
        Declare(host);
        ASSERT_TRUE(PushesReach(host, kFrames));
        // A push is counted as it enters the host and recorded as it leaves.
        ASSERT_TRUE(Eventually([&] {
            for (size_t d = 0; d < host.DeviceCount(); ++d) {
                if (host.Context(d).Pushes().size() < kFrames) return false;
            }
            return true;
        }));

        size_t offset = 0;
        for (size_t d = 0; d < host.DeviceCount(); ++d) {
            SCOPED_TRACE("device " + std::to_string(d));
            const int32_t samples = VarnixSim_SamplesPerFrame(d);
            const int32_t streams = VarnixSim_StreamCount(d);
            const auto pushes = host.Context(d).Pushes();
            ASSERT_GE(pushes.size(), kFrames);
            for (uint64_t k = 0; k < kFrames; ++k) {
                const auto& push = pushes[k];
                EXPECT_EQ(push.samplesPerFrame, samples);
                ASSERT_EQ(push.valueCount, samples * streams);
                ASSERT_EQ(push.values.size(), static_cast<size_t>(samples * streams));
                // The k-th push carries the station's k-th delivered frame.
                VarnixSimFrameInfo info{};
                std::vector<float> frame(4096);
                ASSERT_EQ(VarnixSim_GetDeliveredFrame(k, &info, frame.data(), frame.size()), 1);
                EXPECT_EQ(push.firstSampleIndex,
                          static_cast<int64_t>(info.frameSequence) * samples);
                for (int32_t v = 0; v < samples * streams; ++v) {
                    ASSERT_EQ(push.values[static_cast<size_t>(v)],
                              frame[offset + static_cast<size_t>(v)])
                        << "push " << k << " value " << v;
                    // ramp: every stream holds its sample numbers
                    ASSERT_EQ(push.values[static_cast<size_t>(v)],
                              static_cast<float>(info.frameSequence * samples + v % samples));
                }
            }
            offset += static_cast<size_t>(samples * streams);
        }
        host.Shutdown(module);
        EXPECT_EQ(host.Monitor().Count(), 0u) << Violations(host);
        VarnixSimCounters counters{};
        VarnixSim_GetCounters(&counters);
        EXPECT_EQ(counters.framesDropped, 0u);
        EXPECT_EQ(counters.objectsCreated, counters.objectsDeleted);
    }
    EXPECT_TRUE(module.Unload()) << module.ErrorText();
}
