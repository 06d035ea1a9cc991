// The station's clock and delivery: when frames are due and when each
// becomes pollable, alone and through a running station.
#include "station/frame_timing.h"
#include "station_client.h"

#include <gtest/gtest.h>

using namespace station_test;
using varnix::station::FrameTiming;
using varnix::station::TimingOptions;

namespace {

constexpr int64_t kPeriodNs = 13500000;

FrameTiming Timing(const TimingOptions& options, uint64_t seed = 16) {
    FrameTiming timing;
    timing.Configure(options, seed);
    timing.Begin(kPeriodNs);
    return timing;
}

}  // namespace

TEST(FrameTimingTest, DefaultsKeepThePerfectClockAndDriftChangesThePace) {
    FrameTiming perfect = Timing({});
    for (uint64_t k = 0; k < 1000; ++k) {
        ASSERT_EQ(perfect.DueNs(k), static_cast<int64_t>(k + 1) * kPeriodNs);
        ASSERT_EQ(perfect.PollableNs(k), perfect.DueNs(k));
    }

    TimingOptions stepping;
    stepping.clockDriftPpm = 300;  // fast: frames come early
    stepping.driftStep = varnix::station::DriftStep{1000, -300};
    FrameTiming drifting = Timing(stepping);
    EXPECT_NEAR(static_cast<double>(drifting.DueNs(9)), 10 * kPeriodNs / 1.0003, 1.0);
    EXPECT_NEAR(static_cast<double>(drifting.DueNs(50) - drifting.DueNs(49)), kPeriodNs / 1.0003,
                1.0);
    // 74 frames are due in the first second; the 75th on comes at the slow pace.
    EXPECT_LE(drifting.DueNs(73), 1000000000);
    EXPECT_GT(drifting.DueNs(74), 1000000000);
    EXPECT_NEAR(static_cast<double>(drifting.DueNs(200) - drifting.DueNs(199)), kPeriodNs / 0.9997,
                1.0);
    EXPECT_NEAR(static_cast<double>(drifting.DueNs(74) - drifting.DueNs(73)), kPeriodNs / 0.9997,
                1.0);
}

TEST(FrameTimingTest, JitterAndHeldFramesKeepTheOrderAndFollowTheSeed) {
    TimingOptions uneven;
    uneven.deliveryJitterMs = 2;
    uneven.burstEvery = 7;
    FrameTiming first = Timing(uneven);
    FrameTiming again = Timing(uneven);
    FrameTiming otherSeed = Timing(uneven, 17);
    std::vector<int64_t> pollable;
    size_t differ = 0;
    for (uint64_t k = 0; k < 700; ++k) {
        pollable.push_back(first.PollableNs(k));
        ASSERT_EQ(again.PollableNs(k), pollable.back()) << "the same seed, the same moments";
        differ += otherSeed.PollableNs(k) != pollable.back() ? 1 : 0;
    }
    EXPECT_GT(differ, 600u);
    for (uint64_t k = 0; k + 1 < pollable.size(); ++k) {
        const int64_t due = first.DueNs(k);
        ASSERT_GE(pollable[k], due) << "frame " << k;
        if ((k + 1) % 7 == 0) {
            ASSERT_EQ(pollable[k], pollable[k + 1]) << "frame " << k << " is held for the next";
        } else if (k == 0 || pollable[k - 1] < due) {
            ASSERT_LT(pollable[k], due + 2 * kMs) << "frame " << k;
        }
        ASSERT_LE(pollable[k], pollable[k + 1]) << "frame " << k << ": order kept";
    }
}

class StationTimingTest : public ::testing::Test {
protected:
    void SetUp() override {
        unsetenv("VARNIX_STATION_PROFILE");
        VarnixSim_Reset();
    }
    void TearDown() override { VarnixSim_Reset(); }
};

// Guards against a station that hands out a frame before it is pollable,
// or reports the due time as the ready time.
TEST_F(StationTimingTest, AJitteredStationHandsOutFramesOnlyOnceTheyArePollable) {
    ASSERT_TRUE(LoadShipped("jitter16.json"));
    BeginSession();
    const std::vector<Collected> frames = CollectFrames(30, std::chrono::seconds(5));
    ASSERT_EQ(frames.size(), 30u);
    size_t late = 0, held = 0;
    for (uint64_t i = 0; i < frames.size(); ++i) {
        VarnixSimFrameTiming timing{};
        ASSERT_EQ(VarnixSim_GetFrameTiming(i, &timing), 1);
        EXPECT_EQ(timing.pollableTimeNs, frames[i].info.readyTimeNs);
        EXPECT_EQ(timing.deliveredTimeNs, frames[i].info.deliveredTimeNs);
        EXPECT_GE(timing.deliveredTimeNs, timing.pollableTimeNs) << "frame " << i;
        EXPECT_GE(timing.pollableTimeNs, timing.dueTimeNs) << "frame " << i;
        late += timing.pollableTimeNs > timing.dueTimeNs ? 1 : 0;
        held += (frames[i].info.frameSequence + 1) % 7 == 0 ? 1 : 0;
        if ((frames[i].info.frameSequence + 1) % 7 == 0 && i + 1 < frames.size()) {
            VarnixSimFrameTiming next{};
            ASSERT_EQ(VarnixSim_GetFrameTiming(i + 1, &next), 1);
            EXPECT_EQ(timing.pollableTimeNs, next.pollableTimeNs) << "held for the next";
        }
    }
    EXPECT_GT(late, 20u);
    EXPECT_GE(held, 3u);
    EXPECT_EQ(VarnixSim_GetFrameTiming(1000, nullptr), 0);
}
