// Each bridge function hands its arguments to the station unchanged and its
// answer back unchanged, on the calling thread, with one fresh station object
// per call that is deleted once the call returns.
#include "bridge/bridge.h"
#include "contract/station_control.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>

namespace {

VarnixSimCall LastCall() {
    VarnixSimCall call{};
    const size_t count = VarnixSim_CallCount();
    if (count > 0) {
        VarnixSim_GetCall(count - 1, &call);
    }
    return call;
}

std::string Last() {
    VarnixSimCall call = LastCall();
    return std::string(call.function) + "(" + call.arguments + ")";
}

struct ObjectBalance {
    uint64_t created;
    uint64_t deleted;
};

ObjectBalance Objects() {
    VarnixSimCounters counters{};
    VarnixSim_GetCounters(&counters);
    return {counters.objectsCreated, counters.objectsDeleted};
}

class BridgePassthrough : public ::testing::Test {
protected:
    void SetUp() override {
        VarnixSim_Reset();
        VarnixSim_LogPolls(1);
    }
    // One object made and deleted by the call that `act` makes.
    template <typename Act>
    void ExpectOneObject(Act act) {
        const ObjectBalance before = Objects();
        act();
        const ObjectBalance after = Objects();
        EXPECT_EQ(after.created - before.created, 1u);
        EXPECT_EQ(after.deleted - before.deleted, 1u);
    }
};

TEST_F(BridgePassthrough, InitializeAndInformationRequests) {
    const double rates[] = {2000.0, 148.5};
    VarnixSim_ScriptItemList("A+1|B+1|");
    VarnixSim_ScriptFrameMultiple(3);
    VarnixSim_ScriptRates(rates, 2);
    VarnixSim_ScriptAnswer("A+1", 2, "VOLTS");
    VarnixSim_ScriptAnswer("B", 0, nullptr);

    VarnixMetadataBuf metadata{};
    const char* items = nullptr;
    ExpectOneObject([&] { items = varnix_initialize(metadata, 2, 1); });
    ASSERT_NE(items, nullptr);
    EXPECT_STREQ(items, "A+1|B+1|");
    EXPECT_EQ(metadata.frameMultiple, 3);
    ASSERT_NE(metadata.sampleRates, nullptr);
    EXPECT_EQ(metadata.sampleRates[1], 148.5);
    EXPECT_EQ(Last(), "initialize(2,1)");
    const uint64_t initializeThread = LastCall().thread;

    const char* unit = nullptr;
    ExpectOneObject([&] { unit = varnix_infoRequest("A+1", 2); });
    EXPECT_STREQ(unit, "VOLTS");
    EXPECT_EQ(Last(), "infoRequest(A+1,2)");
    const char* none = "sentinel";
    ExpectOneObject([&] { none = varnix_infoRequest("B", 0); });
    EXPECT_EQ(none, nullptr) << "a null answer must come back null";
    EXPECT_EQ(Last(), "infoRequest(B,0)");

    // The other thread's calls are logged with that thread. Thread ids are
    // compared as the station logs them: under MinGW every module numbers
    // threads on its own, and the station's own thread takes a number there.
    varnix_infoRequest("A+1", 3);
    const uint64_t mainThread = LastCall().thread;
    EXPECT_EQ(mainThread, initializeThread);
    uint64_t otherThread[2] = {0, 0};
    std::thread([&] {
        for (uint64_t& logged : otherThread) {
            varnix_infoRequest("A+1", 3);
            logged = LastCall().thread;
        }
    }).join();
    EXPECT_NE(otherThread[0], mainThread);
    EXPECT_EQ(otherThread[1], otherThread[0]);
}

TEST_F(BridgePassthrough, ControlCallsAndPolls) {
    ExpectOneObject([] { varnix_start(); });
    EXPECT_EQ(Last(), "start()");
    ExpectOneObject([] { varnix_stop(); });
    EXPECT_EQ(Last(), "stop()");
    ExpectOneObject([] { varnix_close(); });
    EXPECT_EQ(Last(), "close()");

    VarnixSim_ScriptConfigureResult(0);
    bool configured = true;
    ExpectOneObject([&] { configured = varnix_configure(true, false, true, false); });
    EXPECT_FALSE(configured);
    EXPECT_EQ(Last(), "configure(1,0,1,0)");
    VarnixSim_ScriptConfigureResult(1);
    EXPECT_TRUE(varnix_configure(false, true, false, true));
    EXPECT_EQ(Last(), "configure(0,1,0,1)");

    const float frame[] = {1.5f, -2.0f, 3.25f};
    VarnixSim_ScriptFrame(frame, 3);
    VarnixSim_ScriptPollFalse(1);
    VarnixFrameBuf buffer{};
    bool polled = false;
    ExpectOneObject([&] { polled = varnix_pollData(buffer); });
    ASSERT_TRUE(polled);
    ASSERT_NE(buffer.samples, nullptr);
    EXPECT_EQ(std::memcmp(buffer.samples, frame, sizeof frame), 0);
    EXPECT_EQ(std::string(LastCall().function), "pollData");
    ExpectOneObject([&] { polled = varnix_pollData(buffer); });
    EXPECT_FALSE(polled);

    VarnixMetadataBuf metadata{};
    ExpectOneObject([&] { varnix_scan(metadata); });
    EXPECT_EQ(std::string(LastCall().function), "scan");
    ExpectOneObject([&] { varnix_changeSensorMode(metadata, "A+1", "fast"); });
    EXPECT_EQ(std::string(LastCall().function), "changeSensorMode");
    EXPECT_NE(std::string(LastCall().arguments).find("A+1"), std::string::npos);

    const ObjectBalance balance = Objects();
    EXPECT_EQ(balance.created, balance.deleted);
}

}  // namespace
