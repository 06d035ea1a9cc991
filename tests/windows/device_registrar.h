// The host's device registrar: records every RegisterDevice, accepts the
// devices, and refuses the one of a chosen sensor with an error the module
// must log and release once. [host] only.
#pragma once

#include "tests/windows/array.h"
#include "tests/windows/call_journal.h"
#include "tests/windows/host_error.h"
#include "tests/windows/sdk_interfaces.h"

// The host's two opaque arguments of OnManualDeviceInstantiation, which the
// module hands back unchanged with every RegisterDevice.
constexpr uintptr_t kHostArg1 = 0xA1A1A1A1u;
constexpr uintptr_t kHostArg3 = 0xA3A3A3A3u;
constexpr const char kRefusalText[] = "refused by the reference host";

// The line a RegisterDevice call is recorded as.
Text RegisterDeviceCall(const void* hostArg1, const char* deviceName, const void* hostArg3,
                        const char* deviceNameAgain, bool deviceGiven);

class DeviceRegistrar final : public ViconDigitalDevice::IDeviceRegistrar {
public:
    struct Registration {
        ViconDigitalDevice::IDevice* device;
        bool refused;
    };

    // The registration (0-based, in call order) the host refuses; -1: none.
    void RefuseRegistration(int index) { refused_ = index; }

    ViconDigitalDevice::IHostResult RegisterDevice(void* hostArg1, const char* deviceName,
                                                   void* hostArg3, const char* deviceNameAgain,
                                                   ViconDigitalDevice::IDevice* device) override;

    const CallJournal& Calls() const { return calls_; }
    size_t Count() const { return registrations_.Size(); }
    const Registration& At(size_t index) const { return registrations_[index]; }
    const HostError& Refusal() const { return refusal_; }

private:
    CallJournal calls_;
    Array<Registration> registrations_;
    HostError refusal_{kRefusalText};
    int refused_ = -1;
};
