// The device object as the host and the hand-off drive it.
#include "device/vdevice.h"
#include "host/host_log.h"
#include "tests/device/fake_host.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <numeric>
#include <vector>

using varnix::vDevice;

namespace {

struct DeviceFixture : ::testing::Test {
    fake::Services services;
    fake::Context context;
};

// One hand-off as the acquisition loop runs it, on the caller's thread.
void HandOff(vDevice& device, const float* frame) {
    device.Gate().TakeGate();
    device.LoadSlice(frame);
    device.DeliverFrame();
}

std::pair<int32_t, bool> Status(vDevice& device) {
    int32_t ready = -1;
    bool redeclare = true;
    device.GetStatus(&ready, &redeclare);
    return {ready, redeclare};
}

}  // namespace

// vDevice is neither copyable nor movable: each test builds its own in place,
// with two channels: rate, samples per frame, values per frame, frame offset.
#define MAKE_DEVICE(name, ...)                \
    std::vector<int32_t> name##Indices{0, 1}; \
    vDevice name(&services, __VA_ARGS__, 2, name##Indices)

TEST_F(DeviceFixture, StatusFollowsAttachDeclarationAndReadiness) {
    MAKE_DEVICE(device, 1000.0, 3, 6, 0);
    EXPECT_EQ(Status(device), std::make_pair(0, false));

    context.requestUpdateAnswer = false;
    EXPECT_FALSE(device.AttachContext(&context)) << "AttachContext answers what RequestUpdate says";
    EXPECT_EQ(context.requestUpdates, 1);
    EXPECT_EQ(Status(device), std::make_pair(0, true));

    fake::Declaration declaration;
    EXPECT_TRUE(device.DeclareSession(7, &declaration));
    EXPECT_EQ(Status(device), std::make_pair(0, false));
    EXPECT_TRUE(device.ConfigureRequested());

    device.SetReadyState(1);  // what the session start does
    EXPECT_EQ(Status(device), std::make_pair(1, false));
    EXPECT_EQ(Status(device), std::make_pair(1, false)) << "GetStatus changes nothing";

    // A second declaration takes readiness away again.
    EXPECT_TRUE(device.DeclareSession(8, &declaration));
    EXPECT_EQ(Status(device), std::make_pair(0, false));
}

TEST_F(DeviceFixture, DeclareSessionOrderWithStartTriggerOnOffAndNoEntries) {
    services.timebase = 1000;
    services.startCode = 42;
    MAKE_DEVICE(device, 148.148, 2, 6, 0);
    device.AttachContext(&context);

    context.parameters["StartTrigger"] = true;
    fake::Declaration on;
    device.DeclareSession(1, &on);
    // Truncated, not rounded: 1000 / 148.148 = 6.75.
    EXPECT_EQ(on.calls, (std::vector<std::string>{"SetPeriod 6", "SetValueCount 6", "SetOption 0",
                                                  "DeclareSignal Start 1 42 0 0 true"}));
    EXPECT_EQ(context.ParameterReads(), std::vector<std::string>{"StartTrigger|"});

    context.parameters["StartTrigger"] = false;
    fake::Declaration off;
    device.DeclareSession(2, &off);
    EXPECT_EQ(off.calls,
              (std::vector<std::string>{"SetPeriod 6", "SetValueCount 6", "SetOption 0"}));

    context.parameters["StartTrigger"] = true;
    context.entryCount = 0;
    device.ClearConfigureRequest();
    fake::Declaration noEntries;
    device.DeclareSession(3, &noEntries);
    EXPECT_EQ(noEntries.calls,
              (std::vector<std::string>{"SetPeriod 6", "SetValueCount 6", "SetOption 0"}));
    EXPECT_EQ(context.ParameterReads().size(), 2u) << "no entries: StartTrigger is not read";
    EXPECT_TRUE(device.ConfigureRequested());
}

TEST_F(DeviceFixture, DeclareSessionSurvivesEveryHostFailure) {
    MAKE_DEVICE(device, 1000.0, 14, 14, 0);
    device.AttachContext(&context);
    context.parameters["StartTrigger"] = true;
    context.failParameters = true;
    fake::Declaration declaration;
    declaration.failAll = true;
    EXPECT_TRUE(device.DeclareSession(1, &declaration));
    EXPECT_TRUE(device.ConfigureRequested());
    // SetPeriod, SetValueCount and DeclareSignal each released once, the
    // failed parameter read too.
    EXPECT_EQ(declaration.error.releases, 3);
    EXPECT_EQ(context.error.releases, 1);
}

TEST_F(DeviceFixture, PeriodWithoutAUsableRateIsZeroAndSaidSo) {
    services.timebase = 1000;
    MAKE_DEVICE(zeroRate, 0.0, 0, 0, 0);
    zeroRate.AttachContext(&context);
    fake::Declaration declaration;
    zeroRate.DeclareSession(1, &declaration);
    EXPECT_EQ(declaration.calls.front(), "SetPeriod 0");
    EXPECT_EQ(services.CountAtLevel(varnix::kLogError), 1u);

    // 4e9 / 1e-10 is far past the signed 64-bit range.
    services.timebase = 4000000000u;
    MAKE_DEVICE(tiny, 1e-10, 0, 0, 0);
    tiny.AttachContext(&context);
    fake::Declaration second;
    tiny.DeclareSession(1, &second);
    EXPECT_EQ(second.calls.front(), "SetPeriod 0");
    EXPECT_EQ(services.CountAtLevel(varnix::kLogError), 2u);
}

TEST_F(DeviceFixture, FirstSampleIndicesRestartAfterOpenAndSoftwareTrigger) {
    MAKE_DEVICE(device, 1000.0, 3, 6, 4);
    device.AttachContext(&context);
    fake::Declaration declaration;
    device.DeclareSession(5, &declaration);

    std::vector<float> frame(10);
    std::iota(frame.begin(), frame.end(), 0.5f);
    device.SessionOpened();
    for (int i = 0; i < 3; ++i) HandOff(device, frame.data());
    device.SoftwareStartTrigger();
    for (int i = 0; i < 2; ++i) HandOff(device, frame.data());
    device.SessionClosed();
    HandOff(device, frame.data());  // a closed session does not stop the pushes

    const std::vector<fake::Push> pushes = context.Pushes();
    ASSERT_EQ(pushes.size(), 6u);
    const std::vector<int64_t> expected{0, 3, 6, 0, 3, 6};
    for (size_t i = 0; i < pushes.size(); ++i) {
        EXPECT_EQ(pushes[i].firstSampleIndex, expected[i]) << "push " << i;
        EXPECT_EQ(pushes[i].sessionId, 5);
        EXPECT_EQ(pushes[i].samplesPerFrame, 3);
        EXPECT_EQ(pushes[i].channels, (std::vector<int32_t>{0, 1}));
        EXPECT_EQ(pushes[i].values, (std::vector<float>{4.5f, 5.5f, 6.5f, 7.5f, 8.5f, 9.5f}))
            << "the slice at offset 4, unconverted";
    }
}

// Guards against a refused push that stalls the device or is sent again.
TEST_F(DeviceFixture, RefusedPushStillAdvancesAndFreesTheGate) {
    MAKE_DEVICE(device, 1000.0, 14, 14, 0);
    device.AttachContext(&context);
    context.failPushes = true;
    std::vector<float> frame(14, 1.0f);
    HandOff(device, frame.data());
    HandOff(device, frame.data());
    EXPECT_EQ(device.Gate().Count(), 1);
    EXPECT_EQ(device.NextSampleIndex(), 28);
    EXPECT_EQ(context.Pushes().size(), 2u);
    EXPECT_EQ(context.error.releases, 2);
}

TEST_F(DeviceFixture, UnattachedDeviceIsNotPushedButGivesItsGateBack) {
    MAKE_DEVICE(device, 1000.0, 14, 14, 0);
    std::vector<float> frame(14, 1.0f);
    HandOff(device, frame.data());
    EXPECT_EQ(device.Gate().Count(), 1);
    EXPECT_EQ(device.NextSampleIndex(), 0) << "nothing was offered, nothing is counted";
}

TEST_F(DeviceFixture, EmptySliceIsStillPushed) {
    MAKE_DEVICE(device, 1000.0, 0, 0, 0);
    device.AttachContext(&context);
    float unused = 0.0f;
    HandOff(device, &unused);
    const std::vector<fake::Push> pushes = context.Pushes();
    ASSERT_EQ(pushes.size(), 1u);
    EXPECT_EQ(pushes[0].valueCount, 0);
}

// Guards against a 32-bit sample index that wraps after 2^31 samples.
TEST_F(DeviceFixture, SampleIndexGoesPastTwoToThe31) {
    MAKE_DEVICE(device, 1000.0, 1 << 30, 0, 0);
    device.AttachContext(&context);
    float unused = 0.0f;
    for (int i = 0; i < 4; ++i) HandOff(device, &unused);
    const std::vector<fake::Push> pushes = context.Pushes();
    ASSERT_EQ(pushes.size(), 4u);
    EXPECT_EQ(pushes[2].firstSampleIndex, int64_t{1} << 31);
    EXPECT_EQ(pushes[3].firstSampleIndex, int64_t{3} << 30);
}

// Guards against a reset that a delivery in flight overwrites with its advance.
TEST_F(DeviceFixture, ResetDuringAPushWins) {
    MAKE_DEVICE(device, 1000.0, 5, 5, 0);
    device.AttachContext(&context);
    std::vector<float> frame(5, 0.0f);
    HandOff(device, frame.data());
    context.onPush = [&](const fake::Push&) { device.SessionOpened(); };
    HandOff(device, frame.data());  // index 5 pushed, reset while the host holds it
    context.onPush = nullptr;
    HandOff(device, frame.data());
    const std::vector<fake::Push> pushes = context.Pushes();
    ASSERT_EQ(pushes.size(), 3u);
    EXPECT_EQ(pushes[1].firstSampleIndex, 5);
    EXPECT_EQ(pushes[2].firstSampleIndex, 0);
}

TEST_F(DeviceFixture, RefreshEntriesAsksForRedeclarationOnlyForAnEmptyChange) {
    MAKE_DEVICE(device, 1000.0, 1, 1, 0);
    device.AttachContext(&context);
    fake::Declaration declaration;
    device.DeclareSession(1, &declaration);  // clears the request
    const int updatesBefore = context.requestUpdates;

    context.entryCount = 2;
    context.fillFlag = 0;
    device.RefreshEntries();
    EXPECT_EQ(Status(device).second, false) << "no change reported";

    context.fillFlag = 1;
    context.fillFirstEntry = true;
    device.RefreshEntries();
    EXPECT_EQ(Status(device).second, false) << "the host filled the first entry";
    EXPECT_EQ(context.requestUpdates, updatesBefore);

    context.fillFirstEntry = false;
    device.RefreshEntries();
    EXPECT_EQ(Status(device).second, true);
    EXPECT_EQ(context.requestUpdates, updatesBefore + 1);

    // No entries at all and a change reported: read like an empty first entry.
    device.DeclareSession(1, &declaration);
    context.entryCount = 0;
    device.RefreshEntries();
    EXPECT_TRUE(context.fillSawNullArray);
    EXPECT_EQ(Status(device).second, true);
    EXPECT_EQ(context.requestUpdates, updatesBefore + 2);
}

// Guards against an exception escaping into the host, and against the line
// about it going anywhere but the device's own services.
TEST_F(DeviceFixture, ExceptionFromTheHostStaysInsideTheDevice) {
    MAKE_DEVICE(device, 1000.0, 1, 1, 0);
    context.onPush = [](const fake::Push&) { throw std::runtime_error("host broke"); };
    device.AttachContext(&context);
    float value = 1.0f;
    HandOff(device, &value);
    EXPECT_EQ(device.Gate().Count(), 1) << "the gate comes back even when the push threw";
    ASSERT_EQ(services.CountAtLevel(varnix::kLogError), 1u);
    EXPECT_NE(services.Lines().back().text.find("host broke"), std::string::npos)
        << services.Lines().back().text;
}
