// Null answers from the station leave nothing published and are told to a
// person in one error line that names what was missing; once the station
// answers again, the next definitions publish every sensor. (That nothing is
// published and the recovery are also covered in station_plugin_faults; the
// log line is what this guards.)
#include "tests/faults/fault_support.h"

namespace {

// Publishes into a fresh host and returns its error lines.
std::vector<varnix::emulator::LogLine> PublishAndShutDown(varnix::emulator::PluginModule& module,
                                                          size_t& devices) {
    varnix::emulator::TestHost host;
    host.Handshake(module);
    EXPECT_TRUE(host.Initialise(module));
    host.ProvideDefinitions(module);
    host.Instantiate(module);
    devices = host.DeviceCount();
    faults::ShutDownCleanly(host, module);
    return faults::ErrorLines(host);
}

}  // namespace

TEST(Faults, NullStationAnswersAreToldInOneErrorLine) {
    VarnixSim_Reset();
    varnix::emulator::PluginModule module;
    ASSERT_TRUE(module.Load(e2e::ModulePath())) << module.ErrorText();
    const struct {
        const char* what;
        void (*inject)();
        const char* told;
    } cases[] = {
        {"null item list", [] { VarnixSim_FaultItemList(0); }, "item list"},
        {"null sensor name", [] { VarnixSim_FaultAnswer(nullptr, 3, 0); }, "request 3"},
        {"null unit text", [] { VarnixSim_FaultAnswer(nullptr, 2, 0); }, "request 2"},
    };
    for (const auto& fault : cases) {
        SCOPED_TRACE(fault.what);
        fault.inject();
        size_t devices = 0;
        const auto errors = PublishAndShutDown(module, devices);
        EXPECT_EQ(devices, 0u);
        ASSERT_EQ(errors.size(), 1u) << "one line, not one per sensor or none";
        EXPECT_NE(errors[0].text.find(fault.told), std::string::npos) << errors[0].text;
        EXPECT_NE(errors[0].text.find("no devices are published"), std::string::npos)
            << errors[0].text;

        VarnixSim_ClearFaults();
        const auto clean = PublishAndShutDown(module, devices);
        EXPECT_EQ(devices, VarnixSim_SensorCount());
        EXPECT_TRUE(clean.empty()) << clean.front().text;
    }
    EXPECT_TRUE(module.Unload()) << module.ErrorText();
}
