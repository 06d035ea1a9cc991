// The scripted test double: what a test scripts is exactly what the station
// answers, and every call is logged with its arguments and thread.
#include "station_client.h"

#include <gtest/gtest.h>

#include <pthread.h>

#include <thread>

using namespace station_test;

class ScriptModeTest : public ::testing::Test {
protected:
    void SetUp() override { VarnixSim_Reset(); }
    void TearDown() override { VarnixSim_Reset(); }
};

TEST_F(ScriptModeTest, AnswersWhatWasScripted) {
    VarnixSim_ScriptItemList("A+1|A+2|");
    VarnixSim_ScriptFrameMultiple(3);
    const double rates[] = {2000.0, 150.0};
    VarnixSim_ScriptRates(rates, 2);
    VarnixSim_ScriptAnswer("A+1", 2, "VOLTS");
    VarnixSim_ScriptAnswer("A+1", 3, nullptr);

    VarnixMetadataBuf pb{};
    ASSERT_STREQ(Initialize(pb), "A+1|A+2|");
    EXPECT_EQ(pb.frameMultiple, 3);
    ASSERT_NE(pb.sampleRates, nullptr);
    EXPECT_EQ(pb.sampleRates[0], 2000.0);
    EXPECT_EQ(pb.sampleRates[1], 150.0);
    EXPECT_STREQ(Info("A+1", 2), "VOLTS");
    EXPECT_EQ(Info("A+1", 3), nullptr);
    EXPECT_STREQ(Info("A+2", 0), "");  // unscripted

    VarnixSim_ScriptItemList(nullptr);
    EXPECT_EQ(Initialize(pb), nullptr);
}

TEST_F(ScriptModeTest, RatesCoverEveryItemEvenWhenScriptedShort) {
    // Guards against handing the plug-in a rate array shorter than the list.
    VarnixSim_ScriptItemList("A|B|C|");
    const double rates[] = {100.0};
    VarnixSim_ScriptRates(rates, 1);
    VarnixMetadataBuf pb{};
    ASSERT_NE(Initialize(pb), nullptr);
    EXPECT_EQ(pb.sampleRates[0], 100.0);
    EXPECT_EQ(pb.sampleRates[2], 0.0);
}

TEST_F(ScriptModeTest, PollsFollowTheScriptAndFramesStayUntilTheNextPoll) {
    const float first[] = {1.0f, 2.0f, 3.0f};
    const float second[] = {4.0f};
    VarnixSim_ScriptFrame(first, 3);
    VarnixSim_ScriptPollFalse(2);
    VarnixSim_ScriptFrame(second, 1);
    VarnixSim_ScriptConfigureResult(0);

    VarnixFrameBuf frame{};
    ASSERT_TRUE(Poll(frame));
    const float* kept = frame.samples;
    EXPECT_EQ(kept[0], 1.0f);
    EXPECT_EQ(kept[2], 3.0f);
    EXPECT_FALSE(Poll(frame));
    EXPECT_FALSE(Poll(frame));
    EXPECT_EQ(frame.samples, kept);  // a false poll leaves the buffer alone
    ASSERT_TRUE(Poll(frame));
    EXPECT_EQ(frame.samples[0], 4.0f);
    EXPECT_FALSE(Poll(frame));  // script used up
    EXPECT_FALSE(Configure(false, false));

    VarnixSimFrameInfo info{};
    float values[3] = {};
    ASSERT_EQ(VarnixSim_GetDeliveredFrame(0, &info, values, 3), 1);
    EXPECT_EQ(info.valueCount, 3u);
    EXPECT_EQ(values[1], 2.0f);
    EXPECT_EQ(VarnixSim_GetDeliveredFrame(2, &info, nullptr, 0), 0);

    const VarnixSimCounters counters = Counters();
    EXPECT_EQ(counters.polls, 5u);
    EXPECT_EQ(counters.framesDelivered, 2u);
    EXPECT_EQ(counters.objectsCreated, counters.objectsDeleted);
    EXPECT_EQ(counters.objectsCreated, 6u);  // five polls and one configure
}

TEST_F(ScriptModeTest, CallLogKeepsOrderArgumentsAndThread) {
    VarnixSim_ScriptItemList("A+1|");
    VarnixMetadataBuf pb{};
    Initialize(pb);
    Info("A+1", 2);
    Configure(true, false);
    VarnixFrameBuf frame{};
    Poll(frame);  // not logged: polls are off by default
    uint64_t otherThread = 0;
    std::thread([&] {
        otherThread = static_cast<uint64_t>(pthread_self());
        Start();
    }).join();
    VarnixSim_LogPolls(1);
    Poll(frame);

    ASSERT_EQ(VarnixSim_CallCount(), 5u);
    VarnixSimCall call{};
    const char* expected[][2] = {{"initialize", "2,1"},
                                 {"infoRequest", "A+1,2"},
                                 {"configure", "1,1,0,0"},
                                 {"start", ""},
                                 {"pollData", ""}};
    for (size_t i = 0; i < 5; ++i) {
        ASSERT_EQ(VarnixSim_GetCall(i, &call), 1);
        EXPECT_STREQ(call.function, expected[i][0]);
        EXPECT_STREQ(call.arguments, expected[i][1]);
        EXPECT_EQ(call.sequence, i);
        EXPECT_EQ(call.thread, i == 3 ? otherThread : static_cast<uint64_t>(pthread_self()));
    }
    EXPECT_EQ(VarnixSim_GetCall(5, &call), 0);
    VarnixSim_ClearCalls();
    EXPECT_EQ(VarnixSim_CallCount(), 0u);
}

TEST_F(ScriptModeTest, ResetReturnsToTheDefaultSimulation) {
    VarnixSim_ScriptItemList("X|");
    VarnixSim_FaultItemList(0);
    VarnixSim_Reset();
    VarnixMetadataBuf pb{};
    const char* list = Initialize(pb);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(Items(list).size(), 32u);  // 8 sensors x (1 EMG + 3 ACC)
    EXPECT_EQ(Counters().objectsCreated, 1u);
    EXPECT_EQ(VarnixSim_CallCount(), 1u);
}

TEST_F(ScriptModeTest, GeometryGroupsScriptedItemsAsThePluginDoes) {
    // Items of s7, s9, s7: two sensors, s7 first with both of its items; the
    // rate is the one at a sensor's first item.
    VarnixSim_ScriptItemList("A+1|C+1|A+2|");
    VarnixSim_ScriptFrameMultiple(2);
    const double rates[] = {1000.0, 2000.0, 5.0};
    VarnixSim_ScriptRates(rates, 3);
    VarnixSim_ScriptAnswer("A+1", 3, "s7");
    VarnixSim_ScriptAnswer("A+2", 3, "s7");
    VarnixSim_ScriptAnswer("C+1", 3, "s9");
    ASSERT_EQ(VarnixSim_SensorCount(), 2u);
    EXPECT_EQ(VarnixSim_StreamCount(0), 2);
    EXPECT_EQ(VarnixSim_SamplesPerFrame(0), 27);  // 2 x 1000 x 0.0135
    EXPECT_EQ(VarnixSim_StreamCount(1), 1);
    EXPECT_EQ(VarnixSim_SamplesPerFrame(1), 54);
    EXPECT_EQ(VarnixSim_FrameMultiple(), 2);
    EXPECT_EQ(VarnixSim_SamplesPerFrame(2), 0);  // no such sensor
}

TEST_F(ScriptModeTest, RingsKeepTheNewestAndForgetTheOldest) {
    const size_t kFrames = 4096 + 10;
    for (size_t k = 0; k < kFrames; ++k) {
        const float value = static_cast<float>(k);
        VarnixSim_ScriptFrame(&value, 1);
    }
    VarnixSim_LogPolls(1);
    VarnixFrameBuf frame{};
    for (size_t k = 0; k < kFrames; ++k) {
        ASSERT_TRUE(Poll(frame));
    }
    VarnixSimFrameInfo info{};
    float value = -1.0f;
    EXPECT_EQ(VarnixSim_GetDeliveredFrame(9, &info, &value, 1), 0);
    ASSERT_EQ(VarnixSim_GetDeliveredFrame(10, &info, &value, 1), 1);
    EXPECT_EQ(value, 10.0f);
    ASSERT_EQ(VarnixSim_GetDeliveredFrame(kFrames - 1, &info, &value, 1), 1);
    EXPECT_EQ(info.deliveryIndex, kFrames - 1);
    EXPECT_EQ(value, static_cast<float>(kFrames - 1));

    // The call log wraps at 65536, oldest first, sequences running on.
    for (size_t k = 0; k < 65536 - kFrames + 5; ++k) {
        Poll(frame);
    }
    ASSERT_EQ(VarnixSim_CallCount(), 65536u);
    VarnixSimCall call{};
    ASSERT_EQ(VarnixSim_GetCall(0, &call), 1);
    EXPECT_EQ(call.sequence, 5u);
    ASSERT_EQ(VarnixSim_GetCall(65535, &call), 1);
    EXPECT_EQ(call.sequence, 65540u);
}
