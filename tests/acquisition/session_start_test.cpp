// The session start: station calls, trigger settings, readiness, updates.
#include "acquisition/session_start.h"
#include "tests/acquisition/acquisition_fixture.h"

#include <functional>

using varnix::vDevice;

using namespace acquisition_test;

using SessionStartTest = AcquisitionFixture;

TEST_F(SessionStartTest, ConfigureFollowsTheFirstDevicesTriggerSettings) {
    struct Case {
        const char* name;
        std::map<std::string, bool> answers;
        const char* configure;
    };
    const Case cases[] = {
        {"unanswered", {}, "1,0,0,0"},
        {"all false",
         {{"StartTrigger", false}, {"StopTrigger", false}, {"TriggerOutputs", false}},
         "1,0,0,0"},
        {"start on",
         {{"StartTrigger", true}, {"StopTrigger", false}, {"TriggerOutputs", false}},
         "1,1,0,0"},
        {"all on",
         {{"StartTrigger", true}, {"StopTrigger", true}, {"TriggerOutputs", true}},
         "1,1,1,1"},
    };
    for (const Case& c : cases) {
        VarnixSim_ClearCalls();
        contexts.clear();
        varnix::DeviceList devices{Device(1, 1, 0), Device(1, 1, 1)};
        ContextOf(0).parameters = c.answers;
        ContextOf(1).parameters = {{"StartTrigger", true}, {"StopTrigger", true}};  // never read
        plugin.catalogueLength.store(2);

        varnix::StartSession(devices, plugin);

        EXPECT_EQ(CallNames(), (std::vector<std::string>{"stop", "configure", "start"})) << c.name;
        const std::vector<StationCall> configure = CallsOf("configure");
        ASSERT_EQ(configure.size(), 1u) << c.name;
        EXPECT_EQ(configure[0].arguments, c.configure) << c.name;
        EXPECT_EQ(ContextOf(0).ParameterReads(),
                  (std::vector<std::string>{"StartTrigger|", "StopTrigger|", "TriggerOutputs|"}))
            << c.name;
        EXPECT_TRUE(ContextOf(1).ParameterReads().empty()) << c.name;
    }
}

TEST_F(SessionStartTest, DevicesAreNotReadyDuringTheStartAndReadyAfter) {
    varnix::DeviceList devices{Device(1, 1, 0), Device(1, 1, 1)};
    fake::Declaration declaration;
    devices[0]->DeclareSession(3, &declaration);
    devices[1]->DeclareSession(3, &declaration);
    devices[0]->SetReadyState(1);
    devices[1]->SetReadyState(1);
    plugin.catalogueLength.store(2);

    // The parameter reads run in the middle of the start; look from there.
    int32_t readyDuring[2] = {-1, -1};
    ContextOf(0).onParameterRead = [&](const char*) {
        bool redeclare = false;
        devices[0]->GetStatus(&readyDuring[0], &redeclare);
        devices[1]->GetStatus(&readyDuring[1], &redeclare);
    };

    varnix::StartSession(devices, plugin);

    EXPECT_EQ(readyDuring[0], 0);
    EXPECT_EQ(readyDuring[1], 0);
    for (const auto& device : devices) {
        int32_t ready = -1;
        bool redeclare = true;
        device->GetStatus(&ready, &redeclare);
        EXPECT_EQ(ready, 1);
        EXPECT_FALSE(redeclare);
    }
    EXPECT_FALSE(devices[0]->ConfigureRequested()) << "the first device's request is consumed";
    EXPECT_TRUE(devices[1]->ConfigureRequested()) << "only the first device's request is cleared";
    EXPECT_EQ(ContextOf(0).requestUpdates, 2) << "one from AttachContext, one from the start";
    EXPECT_EQ(ContextOf(1).requestUpdates, 2);
}

// Guards against walking past the end of a list that a refused device shortened.
TEST_F(SessionStartTest, ListShorterOrLongerThanTheCatalogueAndMissingContexts) {
    // Catalogue of 3, but the host refused one: two devices, the second unattached.
    varnix::DeviceList shorter{Device(1, 1, 0), Device(1, 1, 1, /*attach=*/false)};
    plugin.catalogueLength.store(3);
    varnix::StartSession(shorter, plugin);
    EXPECT_EQ(ContextOf(0).requestUpdates, 2);
    int32_t ready = -1;
    bool redeclare = false;
    shorter[1]->GetStatus(&ready, &redeclare);
    EXPECT_EQ(ready, 1);

    // A second instantiation doubled the list: entries past the catalogue
    // keep their state and get no update.
    contexts.clear();
    VarnixSim_ClearCalls();
    varnix::DeviceList longer{Device(1, 1, 0), Device(1, 1, 0), Device(1, 1, 0)};
    longer[2]->SetReadyState(7);
    plugin.catalogueLength.store(2);
    varnix::StartSession(longer, plugin);
    longer[2]->GetStatus(&ready, &redeclare);
    EXPECT_EQ(ready, 7);
    EXPECT_EQ(ContextOf(2).requestUpdates, 1) << "only AttachContext's";

    // The first device has no context yet: every trigger reads off.
    contexts.clear();
    VarnixSim_ClearCalls();
    varnix::DeviceList unattached{Device(1, 1, 0, /*attach=*/false)};
    plugin.catalogueLength.store(1);
    varnix::StartSession(unattached, plugin);
    const std::vector<StationCall> configure = CallsOf("configure");
    ASSERT_EQ(configure.size(), 1u);
    EXPECT_EQ(configure[0].arguments, "1,0,0,0");
}

namespace {
// What the host does between the loop's copy of the device list and its look
// at the first device's configure request. Set before the start; run once,
// on the acquisition thread.
std::function<void()> g_betweenCopyAndCheck;
void BetweenCopyAndCheck() {
    if (g_betweenCopyAndCheck) {
        std::function<void()> act = std::move(g_betweenCopyAndCheck);
        g_betweenCopyAndCheck = nullptr;
        act();
    }
}
}  // namespace

// Guards against a session start served from a copy of the device list taken
// while the host was still registering: the devices registered after the
// copy never got ready.
TEST_F(SessionStartTest, StartServesDevicesRegisteredAfterTheLoopCopiedTheList) {
    const boost::shared_ptr<vDevice> first = Device(1, 1, 0);
    const boost::shared_ptr<vDevice> second = Device(1, 1, 1);
    const boost::shared_ptr<vDevice> third = Device(1, 1, 2);
    SetDevices({first}, 3);  // the loop's first copy holds the first device only
    fake::Declaration declaration;
    g_betweenCopyAndCheck = [&] {
        AppendDevices({second, third});  // the host finishes registering...
        for (const auto& device : {first, second, third})
            device->DeclareSession(1, &declaration);  // ...and declares
    };
    varnix::AcquisitionHooks hooks;
    hooks.afterListCopy = &BetweenCopyAndCheck;
    varnix::SetAcquisitionHooks(hooks);

    varnix::StartAcquisition(plugin);
    const auto readyState = [](const boost::shared_ptr<vDevice>& device) {
        int32_t ready = -1;
        bool redeclare = false;
        device->GetStatus(&ready, &redeclare);
        return ready;
    };
    const bool allReady = Eventually(
        [&] { return readyState(first) == 1 && readyState(second) == 1 && readyState(third) == 1; },
        std::chrono::seconds(3));
    varnix::StopAcquisition();

    EXPECT_TRUE(allReady) << "ready states " << readyState(first) << " " << readyState(second)
                          << " " << readyState(third);
    EXPECT_EQ(CallsOf("configure").size(), 1u);
    EXPECT_EQ(ContextOf(2).requestUpdates, 2) << "the last device got the start's RequestUpdate";
}
