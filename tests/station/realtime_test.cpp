// The simulated station in real time: frame geometry and contents, the ready
// clock, the bounded queue, and start, stop and close.
#include "contract/base_frame.h"
#include "station_client.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace station_test;

class RealTimeTest : public ::testing::Test {
protected:
    void SetUp() override {
        unsetenv("VARNIX_STATION_PROFILE");
        VarnixSim_Reset();
    }
    void TearDown() override { VarnixSim_Reset(); }
};

TEST_F(RealTimeTest, SlicesAreStreamMajorInCatalogueOrder) {
    // ramp4: every stream counts its own samples, so each value tells its place.
    ASSERT_TRUE(LoadShipped("ramp4.json"));
    ASSERT_EQ(VarnixSim_SensorCount(), 4u);
    size_t expectedValues = 0;
    for (size_t s = 0; s < 4; ++s) {
        expectedValues +=
            static_cast<size_t>(VarnixSim_SamplesPerFrame(s) * VarnixSim_StreamCount(s));
    }
    EXPECT_EQ(VarnixSim_SamplesPerFrame(0), 27);
    EXPECT_EQ(VarnixSim_SamplesPerFrame(3), 5);
    EXPECT_EQ(VarnixSim_StreamCount(3), 3);

    BeginSession();
    const std::vector<Collected> frames = CollectFrames(3, std::chrono::seconds(5));
    ASSERT_EQ(frames.size(), 3u);
    for (const Collected& frame : frames) {
        ASSERT_EQ(frame.info.valueCount, expectedValues);
        size_t offset = 0;
        for (size_t s = 0; s < 4; ++s) {
            const int32_t samples = VarnixSim_SamplesPerFrame(s);
            for (int32_t j = 0; j < VarnixSim_StreamCount(s); ++j) {
                for (int32_t i = 0; i < samples; ++i) {
                    const float expected =
                        static_cast<float>(frame.info.frameSequence * samples + i);
                    ASSERT_EQ(frame.values[offset + j * samples + i], expected)
                        << "sensor " << s << " stream " << j << " sample " << i;
                }
            }
            offset += static_cast<size_t>(samples * VarnixSim_StreamCount(s));
        }
    }
}

TEST_F(RealTimeTest, SignalsArePlausibleAndReproducible) {
    ASSERT_TRUE(LoadShipped("sensors1.json"));  // EMG + 3-axis ACC, frameMultiple 2
    const int32_t samples = VarnixSim_SamplesPerFrame(0);
    ASSERT_EQ(samples, 54);
    BeginSession();
    const std::vector<Collected> first = CollectFrames(20, std::chrono::seconds(5));
    ASSERT_EQ(first.size(), 20u);

    double emgSquares = 0.0, emgPeak = 0.0, zSum = 0.0;
    for (const Collected& frame : first) {
        ASSERT_EQ(frame.info.valueCount, static_cast<uint32_t>(4 * samples));
        for (int32_t i = 0; i < samples; ++i) {
            const double emg = frame.values[i];
            emgSquares += emg * emg;
            emgPeak = std::max(emgPeak, std::fabs(emg));
            zSum += frame.values[3 * samples + i];
            EXPECT_LT(std::fabs(frame.values[samples + i]), 2.0);  // ACC X in g
        }
    }
    const double emgRms = std::sqrt(emgSquares / (20.0 * samples));
    EXPECT_GT(emgRms, 1e-6);                         // volts: not silent ...
    EXPECT_LT(emgPeak, 5e-3);                        // ... and not beyond a few millivolts
    EXPECT_NEAR(zSum / (20.0 * samples), 1.0, 0.4);  // gravity on Z

    // The same profile from a fresh start gives the same values.
    Stop();
    Start();
    const std::vector<Collected> again = CollectFrames(3, std::chrono::seconds(5));
    ASSERT_EQ(again.size(), 3u);
    for (size_t k = 0; k < 3; ++k) {
        EXPECT_EQ(again[k].info.frameSequence, k);
        EXPECT_EQ(again[k].values, first[k].values) << "frame " << k;
    }
}

TEST_F(RealTimeTest, FramesBecomeReadyOnTheClock) {
    BeginSession();  // default: frameMultiple 1, 13.5 ms per frame
    const int64_t started = NowNs();
    const std::vector<Collected> frames = CollectFrames(20, std::chrono::seconds(5));
    ASSERT_EQ(frames.size(), 20u);
    const int64_t period = varnix::kBaseFramePeriodNs;
    // Ready times are exact multiples of the period after the start ...
    EXPECT_LE(frames[0].info.readyTimeNs, started + period);
    EXPECT_GE(frames[0].info.readyTimeNs, started + period - 50 * kMs);
    for (size_t k = 0; k < frames.size(); ++k) {
        EXPECT_EQ(frames[k].info.frameSequence, k);
        EXPECT_EQ(frames[k].info.readyTimeNs,
                  frames[0].info.readyTimeNs + static_cast<int64_t>(k) * period);
        // ... and no frame is handed out before it is ready.
        EXPECT_GE(frames[k].info.deliveredTimeNs, frames[k].info.readyTimeNs);
    }
    // 20 frames take 270 ms of clock; allow a loaded machine plenty.
    const int64_t elapsed = frames.back().info.deliveredTimeNs - started;
    EXPECT_GE(elapsed, 20 * period - 50 * kMs);
    EXPECT_LT(elapsed, 3000 * kMs);
}

TEST_F(RealTimeTest, FullQueueDropsTheOldestAndCountsThem) {
    const std::string profile = R"({"queueCapacity":4,"sensors":[{"name":"A","rate":2000,
        "channels":[{"name":"EMG","unit":"VOLTS","components":["EMG"],"signal":"ramp"}]}]})";
    ASSERT_EQ(VarnixSim_LoadProfileText(profile.c_str(), nullptr, 0), 0);
    BeginSession();
    std::this_thread::sleep_for(std::chrono::milliseconds(250));  // about 18 frames
    const std::vector<Collected> frames = CollectFrames(4, std::chrono::seconds(1));
    ASSERT_EQ(frames.size(), 4u);
    const VarnixSimCounters counters = Counters();
    EXPECT_GE(counters.framesProduced, 15u);
    EXPECT_EQ(counters.deepestQueue, 4u);
    EXPECT_GE(counters.framesDropped, 11u);
    // The survivors are the newest, in order; the first is the one after the drops.
    EXPECT_GE(frames[0].info.frameSequence, 11u);
    for (size_t k = 1; k < frames.size(); ++k) {
        EXPECT_EQ(frames[k].info.frameSequence, frames[k - 1].info.frameSequence + 1);
    }
    EXPECT_EQ(frames[0].values[0], static_cast<float>(frames[0].info.frameSequence * 27));
}

TEST_F(RealTimeTest, StopAndCloseEndTheFramesUntilStartedAgain) {
    BeginSession();
    ASSERT_EQ(PollFor(2, std::chrono::seconds(2)), 2u);
    Stop();
    const uint64_t producedAtStop = Counters().framesProduced;
    EXPECT_EQ(PollFor(1, std::chrono::milliseconds(80)), 0u);
    EXPECT_EQ(Counters().framesProduced, producedAtStop);

    Start();  // configure while stopped or running is allowed; start alone resumes
    EXPECT_EQ(PollFor(1, std::chrono::seconds(2)), 1u);

    Stop();
    Close();
    Start();  // closed: nothing until the next initialize
    EXPECT_EQ(PollFor(1, std::chrono::milliseconds(80)), 0u);
    BeginSession();
    EXPECT_EQ(PollFor(1, std::chrono::seconds(2)), 1u);
    EXPECT_EQ(Counters().sessionsStarted, 4u);
}
