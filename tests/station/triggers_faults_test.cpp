// Trigger inputs gate the frames; injected faults do what the control API
// promises, and the station stays usable for observation while they last.
#include "contract/base_frame.h"
#include "station_client.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace station_test;

class TriggerTest : public ::testing::Test {
protected:
    void SetUp() override {
        unsetenv("VARNIX_STATION_PROFILE");
        VarnixSim_Reset();
    }
    void TearDown() override { VarnixSim_Reset(); }
};

TEST_F(TriggerTest, StartInputHoldsFramesBackUntilThePulse) {
    BeginSession(/*startInput=*/true, /*stopInput=*/false);
    EXPECT_EQ(PollFor(1, std::chrono::milliseconds(100)), 0u);
    EXPECT_EQ(Counters().framesProduced, 0u);
    const int64_t pulse = NowNs();
    VarnixSim_StartPulse();
    const std::vector<Collected> frames = CollectFrames(2, std::chrono::seconds(2));
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].info.frameSequence, 0u);
    EXPECT_GE(frames[0].info.readyTimeNs, pulse + varnix::kBaseFramePeriodNs);

    VarnixSim_StopPulse();  // the stop input is off: ignored
    EXPECT_EQ(PollFor(1, std::chrono::seconds(2)), 1u);
}

TEST_F(TriggerTest, StopInputEndsTheFramesAtThePulse) {
    BeginSession(/*startInput=*/false, /*stopInput=*/true);
    ASSERT_EQ(PollFor(2, std::chrono::seconds(2)), 2u);
    const int64_t pulse = NowNs();
    VarnixSim_StopPulse();
    // Frames ready before the pulse still come out; none made after it.
    std::vector<Collected> rest = CollectFrames(100, std::chrono::milliseconds(150));
    for (const Collected& frame : rest) {
        EXPECT_LE(frame.info.readyTimeNs, pulse + 2 * kMs);
    }
    EXPECT_EQ(PollFor(1, std::chrono::milliseconds(60)), 0u);
}

TEST_F(TriggerTest, ProfilePulsesApplyOnlyWithTheirInputsEnabled) {
    const std::string profile = R"({"startPulseAfterMs":100,"stopPulseAfterMs":250,
        "sensors":[{"name":"A","rate":2000,"channels":[{"name":"EMG","unit":"VOLTS",
        "components":["EMG"],"signal":"emg"}]}]})";
    ASSERT_EQ(VarnixSim_LoadProfileText(profile.c_str(), nullptr, 0), 0);
    const int64_t started = NowNs();
    BeginSession(true, true);
    const std::vector<Collected> frames = CollectFrames(100, std::chrono::milliseconds(600));
    ASSERT_GE(frames.size(), 9u);  // 150 ms of frames: 11
    EXPECT_LE(frames.size(), 12u);
    EXPECT_GE(frames.front().info.readyTimeNs, started + 100 * kMs);
    EXPECT_LE(frames.back().info.readyTimeNs, NowNs() - 200 * kMs);

    // Without the inputs the same profile streams from the start on.
    Stop();
    Configure(false, false);
    Start();
    EXPECT_EQ(PollFor(30, std::chrono::seconds(3)), 30u);
}

class FaultTest : public TriggerTest {};

TEST_F(FaultTest, FailedPollsLetFramesQueueUp) {
    BeginSession();
    VarnixSim_FailPollsFor(120);
    EXPECT_EQ(PollFor(1, std::chrono::milliseconds(80)), 0u);
    const std::vector<Collected> frames = CollectFrames(3, std::chrono::seconds(2));
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[0].info.frameSequence, 0u);  // nothing lost, just late
    EXPECT_GE(frames[0].info.deliveredTimeNs - frames[0].info.readyTimeNs, 60 * kMs);
}

TEST_F(FaultTest, AnswerFaultsGiveNullOrEmptyUntilCleared) {
    VarnixMetadataBuf pb{};
    ASSERT_NE(Initialize(pb), nullptr);
    VarnixSim_FaultAnswer(nullptr, 3, 0);
    VarnixSim_FaultAnswer("s01.c2", 0, 1);
    EXPECT_EQ(Info("s01.c1+1", 3), nullptr);
    EXPECT_EQ(Info("s05.c2+3", 3), nullptr);
    EXPECT_STREQ(Info("s01.c2", 0), "");
    EXPECT_STREQ(Info("s01.c1", 0), "EMG");
    EXPECT_STREQ(Info("s01.c2+1", 2), "g");

    VarnixSim_FaultItemList(1);
    EXPECT_STREQ(Initialize(pb), "");
    VarnixSim_FaultItemList(0);
    EXPECT_EQ(Initialize(pb), nullptr);

    VarnixSim_ClearFaults();
    EXPECT_STREQ(Info("s01.c1+1", 3), "EMG 1");
    EXPECT_NE(Initialize(pb), nullptr);
}

TEST_F(FaultTest, SlowAnswersDoNotBlockObservation) {
    VarnixSim_SlowAnswers(400);
    std::atomic<bool> answered{false};
    std::thread slow([&] {
        Info("s01.c1+1", 3);
        answered = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    VarnixSimCounters counters{};
    VarnixSim_GetCounters(&counters);  // must not wait for the slow answer
    VarnixSim_SensorCount();
    EXPECT_FALSE(answered.load());
    slow.join();
    EXPECT_TRUE(answered.load());
    VarnixSim_ClearFaults();
    const int64_t before = NowNs();
    Info("s01.c1+1", 3);
    EXPECT_LT(NowNs() - before, 300 * kMs);
}

TEST_F(FaultTest, DisconnectSilencesTheStationUntilReconnect) {
    BeginSession();
    ASSERT_EQ(PollFor(1, std::chrono::seconds(2)), 1u);
    VarnixSim_DisconnectAfter(0);
    VarnixMetadataBuf pb{};
    EXPECT_EQ(Initialize(pb), nullptr);
    EXPECT_EQ(Info("s01.c1+1", 3), nullptr);
    EXPECT_EQ(PollFor(1, std::chrono::milliseconds(80)), 0u);

    const int64_t back = NowNs();
    VarnixSim_Reconnect();
    const std::vector<Collected> frames = CollectFrames(2, std::chrono::seconds(2));
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_GE(frames[0].info.readyTimeNs, back);  // no backlog from the time away
    EXPECT_NE(Initialize(pb), nullptr);
}

TEST_F(FaultTest, ScheduledDisconnectCutsTheStreamMidSession) {
    BeginSession();
    VarnixSim_DisconnectAfter(100);
    const std::vector<Collected> frames = CollectFrames(100, std::chrono::milliseconds(300));
    ASSERT_GE(frames.size(), 3u);
    EXPECT_LE(frames.size(), 8u);
    EXPECT_EQ(PollFor(1, std::chrono::milliseconds(50)), 0u);
}

TEST_F(FaultTest, CallsFromManyThreadsAtOnceAreSafe) {
    // Guards against state shared by the host and acquisition threads without the lock.
    std::atomic<bool> running{true};
    std::thread acquisition([&] {
        while (running) {
            VarnixFrameBuf frame{};
            if (Poll(frame)) {
                volatile float first = frame.samples[0];
                (void)first;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    std::thread host([&] {
        while (running) {
            VarnixMetadataBuf pb{};
            const char* list = Initialize(pb);
            for (const std::string& item : Items(list)) Info(item, 3);
        }
    });
    for (int round = 0; round < 20; ++round) {
        Stop();
        Configure(round % 2 == 0, false);
        Start();
        VarnixSim_StartPulse();
        VarnixSim_FailPollsFor(round % 3);
        Counters();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    // A last plain session, so the poller surely sees frames while the host
    // thread keeps asking.
    Stop();
    Configure(false, false);
    Start();
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (Counters().framesDelivered == 0 && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    running = false;
    acquisition.join();
    host.join();
    const VarnixSimCounters counters = Counters();
    EXPECT_EQ(counters.objectsCreated, counters.objectsDeleted);
    EXPECT_GT(counters.framesDelivered, 0u);
}
