// Definition publishing from a scripted station: the exact builder calls,
// then acquisition running.
#include "plugin/plugin_operations.h"
#include "plugin/plugin_state.h"
#include "tests/acquisition/acquisition_fixture.h"
#include "tests/support/host_doubles.h"

using namespace acquisition_test;

namespace {

// Records every builder call as one line of text; every call answers with a
// failure so that the releases can be counted.
class Builder final : public host_doubles::BuilderBase {
public:
    ViconDigitalDevice::IHostResult DefineDevice(const char* manufacturer, const char* name,
                                                 const char* version, const char* nameAgain,
                                                 const char* type, const char* caption,
                                                 const char* description) override {
        return Record(std::string("DefineDevice ") + manufacturer + "|" + name + "|" + version +
                      "|" + nameAgain + "|" + type + "|" + caption + "|" + description);
    }
    ViconDigitalDevice::IHostResult AddBoolParameter(
        const char* key, const char* display, const char* help, const char* group, bool flag,
        const ViconDigitalDevice::IParameterValueBool& value, void* reserved) override {
        auto& mutableValue = const_cast<ViconDigitalDevice::IParameterValueBool&>(value);
        return Record(std::string("AddBoolParameter ") + key + "|" + display + "|" + help + "|" +
                      group + "|" + (flag ? "1" : "0") + "|type " +
                      std::to_string(mutableValue.TypeCode()) + " value " +
                      (mutableValue.Value() ? "1" : "0") + "|" + (reserved ? "ptr" : "null"));
    }
    ViconDigitalDevice::IHostResult AddSignal(const char* name) override {
        return Record(std::string("AddSignal ") + name);
    }
    ViconDigitalDevice::IHostResult AddOutput(const char* name, int32_t unit) override {
        return Record(std::string("AddOutput ") + name + " " + std::to_string(unit));
    }
    ViconDigitalDevice::IHostResult AddComponent(const char* name) override {
        return Record(std::string("AddComponent ") + name);
    }
    void Unused5() override { calls.push_back("Unused5"); }
    ViconDigitalDevice::IHostResult Commit() override { return Record("Commit"); }

    std::vector<std::string> calls;
    fake::Error error{"builder refused"};

private:
    ViconDigitalDevice::IHostResult Record(std::string call) {
        // Every earlier failure was released before this call.
        EXPECT_EQ(error.releases, static_cast<int>(calls.size())) << call;
        calls.push_back(std::move(call));
        return fake::Fail(error);
    }
};

// Items A1+x, A1+y (sensor S1, channel A1 in MILLIVOLTS), B1+x (S1, channel
// B1 unitless), C1+x (sensor S2).
void ScriptTwoSensors() {
    VarnixSim_ScriptItemList("A1+x|A1+y|B1+x|C1+x|");
    VarnixSim_ScriptFrameMultiple(1);
    const double rates[] = {1000.0, 1000.0, 1000.0, 2000.0};
    VarnixSim_ScriptRates(rates, 4);
    struct Answer {
        const char* id;
        int32_t code;
        const char* text;
    };
    const Answer answers[] = {
        {"A1+x", 2, "MILLIVOLTS"}, {"A1", 0, "EMG A"}, {"A1+x", 0, "A-x"}, {"A1+x", 3, "S1"},
        {"A1+y", 2, "MILLIVOLTS"}, {"A1+y", 0, "A-y"}, {"A1+y", 3, "S1"},  {"B1+x", 2, ""},
        {"B1", 0, "EMG B"},        {"B1+x", 0, "B-x"}, {"B1+x", 3, "S1"},  {"C1+x", 2, "VOLTS"},
        {"C1", 0, "EMG C"},        {"C1+x", 0, "C-x"}, {"C1+x", 3, "S2"},
    };
    for (const Answer& answer : answers)
        VarnixSim_ScriptAnswer(answer.id, answer.code, answer.text);
}

}  // namespace

// Publishing is the plug-in's own work: it logs to the services the host gave
// to Initialise, kept in the plug-in's state.
struct DefinitionPublishingTest : AcquisitionFixture {
    void SetUp() override {
        AcquisitionFixture::SetUp();
        varnix::State().services.store(&services);
    }
    void TearDown() override {
        AcquisitionFixture::TearDown();
        varnix::State().services.store(nullptr);
    }
};

TEST_F(DefinitionPublishingTest, TwoSensorsInExactBuilderOrderThenAcquisitionRuns) {
    ScriptTwoSensors();
    VarnixSim_LogPolls(1);
    Builder builder;
    varnix::PublishDeviceDefinitions(&builder);

    const std::string literals = "|1.0|S1|EMG|Add Varnix System|Varnix Selkan System";
    EXPECT_EQ(
        builder.calls,
        (std::vector<std::string>{
            "DefineDevice Varnix, Inc|S1" + literals,
            "AddOutput EMG A 20",
            "AddComponent A-x",
            "AddComponent A-y",
            "AddOutput EMG B 0",
            "AddComponent B-x",
            "AddBoolParameter StartTrigger|Start Input|Selkan will wait for a start "
            "signal|Triggering|0|type 1 value 0|null",
            "AddBoolParameter StopTrigger|Stop Trigger|Selkan will wait for a stop "
            "signal|Triggering|0|type 1 value 0|null",
            "AddBoolParameter TriggerOutputs|Trigger Outputs||Triggering|0|type 1 value 0|null",
            "AddSignal Start",
            "Commit",
            "DefineDevice Varnix, Inc|S2|1.0|S2|EMG|Add Varnix System|Varnix Selkan System",
            "AddOutput EMG C 20",
            "AddComponent C-x",
            "Commit",
        }));
    EXPECT_EQ(builder.error.releases, static_cast<int>(builder.calls.size()));
    EXPECT_EQ(varnix::State().catalogueSensorCount.load(), 2u);
    EXPECT_TRUE(varnix::AcquisitionRunning());
    ASSERT_TRUE(Eventually([] { return !CallsOf("pollData").empty(); }));

    // A second call publishes again but keeps the one poller.
    Builder again;
    varnix::PublishDeviceDefinitions(&again);
    EXPECT_EQ(again.calls.size(), builder.calls.size());
    ASSERT_TRUE(Eventually([] { return CallsOf("pollData").size() >= 10; }));
    varnix::StopAcquisition();
    std::set<uint64_t> pollers;
    for (const StationCall& call : CallsOf("pollData")) pollers.insert(call.thread);
    EXPECT_EQ(pollers.size(), 1u);
}

TEST_F(DefinitionPublishingTest, EmptyCatalogueMakesNoBuilderCallButStartsAcquisition) {
    VarnixSim_ScriptItemList("");
    VarnixSim_ScriptFrameMultiple(1);
    VarnixSim_LogPolls(1);
    Builder builder;
    varnix::PublishDeviceDefinitions(&builder);
    EXPECT_TRUE(builder.calls.empty());
    EXPECT_TRUE(varnix::AcquisitionRunning());
    ASSERT_TRUE(Eventually([] { return !CallsOf("pollData").empty(); }));
}

TEST_F(DefinitionPublishingTest, SilentStationIsLoggedAndPublishesNothing) {
    VarnixSim_ScriptItemList(nullptr);
    Builder builder;
    varnix::PublishDeviceDefinitions(&builder);
    EXPECT_TRUE(builder.calls.empty());
    EXPECT_GE(services.CountAtLevel(varnix::kLogError), 1u);
    EXPECT_EQ(varnix::State().catalogueSensorCount.load(), 0u);
}
