// Device instantiation: geometry per sensor, registration, the two log lines.
#include "device/vdevice.h"
#include "plugin/plugin_operations.h"
#include "plugin/plugin_state.h"
#include "tests/device/fake_host.h"
#include "tests/support/host_doubles.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

using varnix::ChannelRecord;
using varnix::SensorCatalogue;
using varnix::SensorRecord;

namespace {

class Registrar final : public host_doubles::RegistrarBase {
public:
    ViconDigitalDevice::IHostResult RegisterDevice(void* arg1, const char* name, void* arg3,
                                                   const char* nameAgain,
                                                   ViconDigitalDevice::IDevice* device) override {
        calls.push_back({arg1, name, arg3, nameAgain, device});
        return refused.count(name) != 0 ? fake::Fail(error) : fake::Ok();
    }
    struct Call {
        void* arg1;
        std::string name;
        void* arg3;
        std::string nameAgain;
        ViconDigitalDevice::IDevice* device;
    };
    std::vector<Call> calls;
    std::set<std::string> refused;
    fake::Error error{"no room"};
};

SensorRecord Sensor(const std::string& name, double rate, int32_t channels,
                    int32_t componentsEach) {
    SensorRecord sensor;
    sensor.name = name;
    sensor.sampleRate = rate;
    for (int32_t c = 0; c < channels; ++c) {
        ChannelRecord channel;
        channel.name = name + "-ch" + std::to_string(c);
        channel.componentNames.assign(static_cast<size_t>(componentsEach), "x");
        sensor.channels.push_back(channel);
    }
    sensor.streamCount = channels * componentsEach;
    return sensor;
}

struct InstantiationFixture : ::testing::Test {
    fake::Services services;
    Registrar registrar;

    void SetUp() override {
        varnix::PluginState& state = varnix::State();
        state.services.store(&services);
        state.registrar.store(&registrar);
        ClearDevices();
    }
    void TearDown() override {
        ClearDevices();
        SetCatalogue({}, 0);
        varnix::State().services.store(nullptr);
        varnix::State().registrar.store(nullptr);
    }
    static void ClearDevices() {
        std::lock_guard<std::mutex> lock(varnix::State().deviceListMutex);
        varnix::State().devices.clear();
        ++varnix::State().deviceListVersion;
    }
    static void SetCatalogue(SensorCatalogue catalogue, int32_t frameMultiple) {
        varnix::PluginState& state = varnix::State();
        std::lock_guard<std::mutex> lock(state.catalogueMutex);
        state.catalogueSensorCount.store(catalogue.size());
        state.catalogue = std::move(catalogue);
        state.metadata.frameMultiple = frameMultiple;
    }
    static varnix::DeviceList Devices() {
        std::lock_guard<std::mutex> lock(varnix::State().deviceListMutex);
        return varnix::State().devices;
    }
};

}  // namespace

TEST_F(InstantiationFixture, SamplesPerFrameRoundHalvesAwayFromZero) {
    struct Case {
        int32_t frameMultiple;
        double rate;
        int32_t samples;
    };
    for (const Case& c : {Case{1, 1000.0, 14}, Case{3, 1000.0, 41}, Case{1, 2000.0, 27}}) {
        ClearDevices();
        SetCatalogue({Sensor("A", c.rate, 1, 2)}, c.frameMultiple);
        varnix::InstantiateDevices(nullptr, "host", nullptr);
        const varnix::DeviceList devices = Devices();
        ASSERT_EQ(devices.size(), 1u);
        EXPECT_EQ(devices[0]->SamplesPerFrame(), c.samples)
            << "F=" << c.frameMultiple << " rate=" << c.rate;
        EXPECT_EQ(devices[0]->ValuesPerFrame(), c.samples * 2);
        EXPECT_EQ(devices[0]->SampleRate(), c.rate);
    }
}

TEST_F(InstantiationFixture, RefusedMiddleSensorStillCountsInTheOffsets) {
    // A: 27 x 2 = 54 values, B: 14 x 3 = 42, C: 14 x 1 with three channels.
    SetCatalogue({Sensor("A", 2000.0, 1, 2), Sensor("B", 1000.0, 3, 1), Sensor("C", 1000.0, 3, 1)},
                 1);
    registrar.refused = {"B"};
    int arg1 = 0, arg3 = 0;
    varnix::InstantiateDevices(&arg1, "Lab rig", &arg3);

    ASSERT_EQ(registrar.calls.size(), 3u);
    for (const Registrar::Call& call : registrar.calls) {
        EXPECT_EQ(call.arg1, &arg1);
        EXPECT_EQ(call.arg3, &arg3);
        EXPECT_EQ(call.name, call.nameAgain);
    }
    const varnix::DeviceList devices = Devices();
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(registrar.calls[0].device, devices[0].get());
    EXPECT_EQ(registrar.calls[2].device, devices[1].get());
    EXPECT_EQ(devices[0]->FrameOffset(), 0);
    EXPECT_EQ(devices[0]->ValuesPerFrame(), 54);
    EXPECT_EQ(devices[1]->FrameOffset(), 54 + 42);
    EXPECT_EQ(devices[1]->ChannelCount(), 3);
    EXPECT_EQ(devices[1]->ChannelIndices(), (std::vector<int32_t>{0, 1, 2}));

    const std::vector<fake::Services::Line> lines = services.Lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].level, 1);
    EXPECT_EQ(lines[0].text, "Instantiated varnix device: Lab rig");
    EXPECT_EQ(lines[1].level, 3);
    EXPECT_EQ(lines[1].text, "Failed to instantiate device. Error: no room");
    EXPECT_EQ(lines[2].text, "Instantiated varnix device: Lab rig");
    EXPECT_EQ(registrar.error.releases, 1);

    // A second call appends a second set.
    registrar.refused.clear();
    varnix::InstantiateDevices(nullptr, "again", nullptr);
    EXPECT_EQ(Devices().size(), 5u);
}

TEST_F(InstantiationFixture, FrameMultipleZeroGivesAnEmptyGeometry) {
    SetCatalogue({Sensor("A", 2000.0, 1, 2), Sensor("B", 1000.0, 2, 2)}, 0);
    varnix::InstantiateDevices(nullptr, "host", nullptr);
    const varnix::DeviceList devices = Devices();
    ASSERT_EQ(devices.size(), 2u);
    for (const auto& device : devices) {
        EXPECT_EQ(device->SamplesPerFrame(), 0);
        EXPECT_EQ(device->ValuesPerFrame(), 0);
        EXPECT_EQ(device->FrameOffset(), 0);
    }
}

TEST_F(InstantiationFixture, EmptyCatalogueRegistersAndLogsNothing) {
    SetCatalogue({}, 1);
    varnix::InstantiateDevices(nullptr, "host", nullptr);
    EXPECT_TRUE(registrar.calls.empty());
    EXPECT_TRUE(services.Lines().empty());
    EXPECT_TRUE(Devices().empty());
}
