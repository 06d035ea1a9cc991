// What the test host records and how its rehearsal switches answer.
#include "tests/emulator/host_fixture.h"

#include <chrono>
#include <stdexcept>

namespace varnix::emulator::testing {
namespace {

TEST_F(HostFixture, DefinitionsAreRecordedWithTheDefaultValueReadThroughItsByteForm) {
    const auto devices = host.Definitions();
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[0].name, "EMG1");
    EXPECT_EQ(devices[0].ComponentCount(), 2u);
    ASSERT_EQ(devices[0].parameters.size(), 1u);
    const ParameterDefinition& parameter = devices[0].parameters[0];
    EXPECT_TRUE(parameter.defaultCopied);
    EXPECT_TRUE(parameter.defaultValue.value);
    EXPECT_TRUE(parameter.defaultValue.flag2);
    EXPECT_FALSE(parameter.defaultValue.flag1);
    EXPECT_EQ(parameter.defaultReported.typeCode, 1);
    EXPECT_TRUE(parameter.defaultReported.value);
    EXPECT_TRUE(parameter.defaultReported.flag2);
    EXPECT_TRUE(devices[1].parameters.empty());
    EXPECT_EQ(host.Log().Count("AddComponent"), 4u);
    EXPECT_EQ(host.Monitor().Count(), 0u);
}

TEST_F(HostFixture, ParameterValuesReachThePlugInByBytesAndBySetValue) {
    for (ParameterFill fill : {ParameterFill::kAssignBytes, ParameterFill::kSetValue}) {
        host.Settings().fill = fill;
        HostBoolValue value;  // stands in for the plug-in's object
        auto result = host.Context(0).GetParameterValue(value, "StartTrigger", "");
        EXPECT_EQ(result.error, nullptr);
        EXPECT_TRUE(value.Value());
        // Only the byte form carries the attributes.
        EXPECT_EQ(value.Flag2(), fill == ParameterFill::kAssignBytes);
    }
    host.SetParameter("", "StartTrigger", false);
    HostBoolValue value(BoolValueState{1, true, false, false, false});
    FakeDevice::Release(host.Context(0).GetParameterValue(value, "StartTrigger", ""));
    EXPECT_FALSE(value.Value());

    // The second device has no parameters: the host refuses, and says which.
    auto refused = host.Context(1).GetParameterValue(value, "StartTrigger", "");
    ASSERT_NE(refused.error, nullptr);
    EXPECT_NE(std::string(refused.error->Text()).find("EMG2"), std::string::npos);
    refused.error->Release();
}

TEST_F(HostFixture, RefusalsAreIssuedPerOperationAndDeviceAndCountedWhenReleased) {
    host.Faults().Fail("RegisterDevice", "EMG2");
    FakeDevice extra;
    auto accepted = host.Registrar()->RegisterDevice(nullptr, "EMG1", nullptr, "EMG1", &extra);
    auto refused = host.Registrar()->RegisterDevice(nullptr, "EMG2", nullptr, "EMG2", &extra);
    EXPECT_EQ(accepted.error, nullptr);
    ASSERT_NE(refused.error, nullptr);
    EXPECT_EQ(host.DeviceCount(), 3u);
    EXPECT_EQ(host.Errors().Unreleased(), 1u);
    refused.error->Release();
    EXPECT_EQ(host.Errors().Unreleased(), 0u);
    refused.error->Release();
    EXPECT_EQ(host.Errors().ReleasedTwice(), 1u);
    EXPECT_EQ(host.Monitor().Count("double-release"), 1u);

    host.Faults().Fail(FaultSwitches::kEveryOperation);
    host.DeclareSession(0, 1);  // the fake device releases what it gets
    auto push = Push(0, 1, 0);
    ASSERT_NE(push.error, nullptr);
    push.error->Release();
    EXPECT_EQ(host.Errors().Unreleased(), 0u);
    EXPECT_EQ(host.Errors().Issued(), 4u);  // RegisterDevice, SetPeriod, SetValueCount, PushSamples
    // A refused SetValueCount leaves nothing declared to compare pushes with.
    EXPECT_FALSE(host.Context(0).Declarations().back().valueCount.has_value());
}

TEST_F(HostFixture, PushesAreHeldAndHookedAsAsked) {
    host.DeclareSession(0, 1);
    host.Faults().HoldPushes(60, "EMG1");
    const auto start = std::chrono::steady_clock::now();
    FakeDevice::Release(Push(0, 1, 0));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(60));

    int seen = 0;
    host.Faults().HoldPushes(0, "EMG1");
    host.Faults().SetPushHook([&](const PushView& view) {
        ++seen;
        return view.firstSampleIndex != 2;  // refuse the second push
    });
    EXPECT_EQ(Push(0, 1, 0).error, nullptr);
    auto refused = Push(0, 1, 2);
    ASSERT_NE(refused.error, nullptr);
    refused.error->Release();
    EXPECT_EQ(seen, 2);

    // Regression: an exception of the host's own hook unwound into the plug-in's thread.
    host.Faults().SetPushHook(
        [](const PushView&) -> bool { throw std::runtime_error("hook broke"); });
    ViconDigitalDevice::IHostResult thrown{nullptr};
    EXPECT_NO_THROW(thrown = Push(0, 1, 4));
    ASSERT_NE(thrown.error, nullptr);
    EXPECT_NE(std::string(thrown.error->Text()).find("hook broke"), std::string::npos);
    thrown.error->Release();
    const auto pushes = host.Context(0).Pushes();
    ASSERT_EQ(pushes.size(), 4u);
    EXPECT_EQ(pushes[2].channelIndices, (std::vector<int32_t>{0, 1}));
}

}  // namespace
}  // namespace varnix::emulator::testing

namespace varnix::emulator::testing {
namespace {

TEST(DefinitionBuilder, OutOfOrderCallsAreReportedButARefusedDeviceIsSkippedQuietly) {
    TestHost host;
    HostDefinitionBuilder& builder = host.Builder();
    FakeDevice::Release(builder.AddComponent("orphan"));  // no device, no output
    FakeDevice::Release(builder.Commit());                // nothing open
    EXPECT_EQ(host.Monitor().Count("builder-order"), 2u);

    // Regression: a plug-in that goes on publishing after a refused
    // DefineDevice (as it must) was blamed for adding to no device.
    host.Faults().Fail("DefineDevice", "Refused");
    auto refused = builder.DefineDevice("M", "Refused", "1", "Refused", "EMG", "Add", "d");
    ASSERT_NE(refused.error, nullptr);
    refused.error->Release();
    FakeDevice::Release(builder.AddOutput("EMG", 20));
    FakeDevice::Release(builder.AddComponent("EMG"));
    FakeDevice::Release(builder.Commit());
    EXPECT_EQ(host.Monitor().Count("builder-order"), 2u);

    FakeDevice::Release(builder.DefineDevice("M", "Kept", "1", "Kept", "EMG", "Add", "d"));
    FakeDevice::Release(builder.DefineDevice("M", "Second", "1", "Second", "EMG", "Add",
                                             "d"));  // Kept never committed
    FakeDevice::Release(builder.Commit());
    EXPECT_EQ(host.Monitor().Count("builder-order"), 3u);
    const auto devices = host.Definitions();
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices[0].name, "Second");
    EXPECT_EQ(host.Errors().Unreleased(), 0u);
}

}  // namespace
// A plug-in that calls the host on every frame once grew the host by a record
// and a line a call: a window keeps the latest, and the counts stay whole.
TEST(HostRecords, WindowsKeepTheLatestRecordsAndLinesAndCountTheRest) {
    TestHost host;
    host.Log().KeepLast(100);
    host.KeepLastLogLines(10);
    for (int i = 0; i < 1000; ++i) host.ReceiveLog(("line " + std::to_string(i)).c_str(), 1);
    host.ReceiveLog("the one error", 3);

    EXPECT_EQ(host.Log().Size(), 100u);
    EXPECT_EQ(host.Log().Dropped(), 901u);
    const auto records = host.Log().Snapshot();
    EXPECT_EQ(records.front().sequence, 901u);  // the latest, in order
    EXPECT_EQ(records.back().sequence, 1000u);
    uint64_t logCalls = 0;
    for (const CallTally& tally : host.Log().Tallies())
        logCalls += tally.operation == "Log" ? tally.calls : 0;
    EXPECT_EQ(logCalls, 1001u);  // every call counted, kept or not

    const auto lines = host.LogLines();
    ASSERT_EQ(lines.size(), 11u);  // 10 of level 1, and the error however much came before
    EXPECT_EQ(lines.front().text, "line 990");
    EXPECT_EQ(lines.back().text, "the one error");
    EXPECT_EQ(host.LogLinesDropped(), 990u);
}

}  // namespace varnix::emulator::testing
