// A minimal device a test registers by hand, standing in for a plug-in's.
#pragma once

#include "host/host_interfaces.h"
#include "tests/support/host_doubles.h"

namespace varnix::emulator::testing {

class FakeDevice : public host_doubles::DeviceBase {
public:
    bool AttachContext(ViconDigitalDevice::IDeviceContext* context) override {
        context_ = context;
        return context->RequestUpdate();
    }
    bool DeclareSession(int32_t, ViconDigitalDevice::ISessionDeclaration* declaration) override {
        Release(declaration->SetPeriod(500000));
        Release(declaration->SetValueCount(valueCount));
        declaration->SetOption(0);
        return true;
    }

    static void Release(ViconDigitalDevice::IHostResult result) {
        if (result.error != nullptr) result.error->Release();
    }

    ViconDigitalDevice::IDeviceContext* context_ = nullptr;
    int32_t valueCount = 4;
};

}  // namespace varnix::emulator::testing
