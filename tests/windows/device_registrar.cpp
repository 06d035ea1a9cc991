#include "tests/windows/device_registrar.h"

using ViconDigitalDevice::IDevice;
using ViconDigitalDevice::IHostResult;

Text RegisterDeviceCall(const void* hostArg1, const char* deviceName, const void* hostArg3,
                        const char* deviceNameAgain, bool deviceGiven) {
    Text line("RegisterDevice(");
    line.Hex(reinterpret_cast<uintptr_t>(hostArg1)).Add(", ").Quoted(deviceName).Add(", ");
    line.Hex(reinterpret_cast<uintptr_t>(hostArg3)).Add(", ").Quoted(deviceNameAgain).Add(", ");
    line.Add(deviceGiven ? "device" : "null device");
    return line.Add(")");
}

IHostResult DeviceRegistrar::RegisterDevice(void* hostArg1, const char* deviceName, void* hostArg3,
                                            const char* deviceNameAgain, IDevice* device) {
    calls_.Add(
        RegisterDeviceCall(hostArg1, deviceName, hostArg3, deviceNameAgain, device != nullptr));
    const bool refuse = static_cast<int>(registrations_.Size()) == refused_;
    registrations_.Push(Registration{device, refuse});
    return refuse ? refusal_.HandOut() : Success();
}
