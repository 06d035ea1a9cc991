// A TestHost with two published and registered fake devices, each of two
// outputs of one component; "EMG1" also carries a boolean parameter.
#pragma once

#include "emulator/host_bool_value.h"
#include "emulator/test_host.h"
#include "tests/emulator/fake_device.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace varnix::emulator::testing {

inline const ViconDigitalDevice::IParameterValueBool& AsSdkBool(HostBoolValue& value) {
    return reinterpret_cast<const ViconDigitalDevice::IParameterValueBool&>(
        static_cast<ViconDigitalDevice::IParameterValueTemplate<bool>&>(value));
}

class HostFixture : public ::testing::Test {
protected:
    void SetUp() override {
        Publish("EMG1", true);
        Publish("EMG2", false);
        for (auto* device : {&first, &second}) {
            FakeDevice::Release(host.Registrar()->RegisterDevice(
                TestHost::HostArg1(), device == &first ? "EMG1" : "EMG2", TestHost::HostArg3(),
                device == &first ? "EMG1" : "EMG2", device));
        }
        ASSERT_EQ(host.DeviceCount(), 2u);
        host.AttachContext(0);
        host.AttachContext(1);
    }

    void Publish(const char* name, bool withParameter) {
        auto& builder = host.Builder();
        FakeDevice::Release(builder.DefineDevice("Maker", name, "1.0", name, "EMG", "Add", "desc"));
        FakeDevice::Release(builder.AddOutput("A", 20));
        FakeDevice::Release(builder.AddComponent("x"));
        FakeDevice::Release(builder.AddOutput("B", 20));
        FakeDevice::Release(builder.AddComponent("x"));
        if (withParameter) {
            HostBoolValue defaultValue(BoolValueState{1, true, false, true, false});
            FakeDevice::Release(builder.AddBoolParameter("StartTrigger", "Start Input", "help",
                                                         "Triggering", false,
                                                         AsSdkBool(defaultValue), nullptr));
        }
        FakeDevice::Release(builder.Commit());
    }

    // One well-formed push of `device`: 2 samples per frame, 2 channels.
    ViconDigitalDevice::IHostResult Push(size_t device, int32_t sessionId, int64_t first,
                                         int32_t valueCount = 4) {
        const int32_t channels[2] = {0, 1};
        const float values[4] = {1.f, 2.f, 3.f, 4.f};
        return host.Context(device).PushSamples(sessionId, first, 2, channels, 2, values,
                                                valueCount);
    }

    TestHost host;
    FakeDevice first;
    FakeDevice second;
};

}  // namespace varnix::emulator::testing
