// The host's IDeviceDefinitionBuilder: records every call and builds the
// structured picture of the published devices.
#pragma once

#include "emulator/host_core.h"
#include "emulator/published_devices.h"
#include "host/host_interfaces.h"

#include <atomic>
#include <mutex>
#include <vector>

namespace varnix::emulator {

// [host] Lent to the plug-in for one ProvideDeviceDefinitions call; the host
// owns it. A call while it is not lent is reported. Every operation allocates
// and takes the builder's mutex, never while calling the plug-in (except the
// default value's CopyTo, which runs on the plug-in's own object before the
// lock is taken).
class HostDefinitionBuilder final : public ViconDigitalDevice::IDeviceDefinitionBuilder {
public:
    explicit HostDefinitionBuilder(HostCore& core) : core_(core) {}

    ViconDigitalDevice::IHostResult DefineDevice(const char* manufacturer, const char* deviceName,
                                                 const char* version, const char* deviceNameAgain,
                                                 const char* deviceType,
                                                 const char* addCommandCaption,
                                                 const char* description) override;
    ViconDigitalDevice::IHostResult AddBoolParameter(
        const char* key, const char* displayName, const char* help, const char* group, bool flag,
        const ViconDigitalDevice::IParameterValueBool& defaultValue, void* reserved) override;
    ViconDigitalDevice::IHostResult AddSignal(const char* name) override;
    ViconDigitalDevice::IHostResult AddOutput(const char* name, int32_t unitCode) override;
    ViconDigitalDevice::IHostResult AddComponent(const char* name) override;
    void Unused5() override;
    ViconDigitalDevice::IHostResult Commit() override;

    // [host] Lending marks: calls outside a lending are violations.
    void SetLent(bool lent) { lent_.store(lent); }

    // [host] Committed devices, in commit order.
    std::vector<DeviceDefinition> Devices() const;

private:
    // Records the call and checks the lending; answers the switches' verdict.
    ViconDigitalDevice::IHostResult Enter(const char* operation, const std::string& arguments);
    void ReportOrder(const std::string& what, const std::string& expected);
    std::string OpenDeviceName() const;

    HostCore& core_;
    std::atomic<bool> lent_{true};
    mutable std::mutex mutex_;
    bool open_ = false;     // DefineDevice accepted, no Commit yet
    bool refused_ = false;  // DefineDevice refused: ignore until Commit
    DeviceDefinition current_;
    std::vector<DeviceDefinition> devices_;
};

}  // namespace varnix::emulator
