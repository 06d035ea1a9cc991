// A recording capture host: implements every host interface of the SDK,
// records each call in one ordered log, checks the contract from the host's
// side, and drives a loaded module and its devices in host order.
//
// Threads: the lifecycle and every IDevice call run on the thread that calls
// the TestHost ([host]); the plug-in may call the services and the device
// contexts from its own threads ([acquisition], [handoff]). Every accessor is
// safe from any thread.
#pragma once

#include "emulator/definition_builder.h"
#include "emulator/device_context.h"
#include "emulator/host_core.h"
#include "emulator/plugin_module.h"
#include "emulator/published_devices.h"
#include "emulator/session_declaration.h"
#include "host/host_interfaces.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace varnix::emulator {

struct LogLine {
    std::string text;
    int32_t level = 0;
    uint64_t thread = 0;
    std::string threadName;
    int64_t timeNs = 0;
};

struct Registration {
    void* hostArg1 = nullptr;
    std::string name;
    void* hostArg3 = nullptr;
    std::string nameAgain;
    ViconDigitalDevice::IDevice* device = nullptr;  // lent by the plug-in while it keeps it
    bool accepted = false;
    std::optional<size_t> index;  // device index when accepted
};

struct DeviceStatus {
    int32_t readyState = -1;
    bool redeclareRequested = false;
};

class TestHost {
public:
    TestHost();
    ~TestHost();
    TestHost(const TestHost&) = delete;
    TestHost& operator=(const TestHost&) = delete;

    // ---- the interfaces the host lends; all owned by the TestHost -----------
    ViconDigitalDevice::IHostServices* Services();
    HostDefinitionBuilder& Builder();
    ViconDigitalDevice::IDeviceRegistrar* Registrar();

    HostCore& Core() { return core_; }
    CallLog& Log() { return core_.log; }
    ContractMonitor& Monitor() { return core_.monitor; }
    ErrorLedger& Errors() { return core_.errors; }
    FaultSwitches& Faults() { return core_.faults; }
    HostSettings& Settings() { return core_.settings; }

    // The plug-in's log lines kept (every one, unless a window is set), in
    // the order they came.
    std::vector<LogLine> LogLines() const;
    // [host] Keeps only the last `lines` lines of each level (0: every
    // one), so that a plug-in that logs on every frame runs in flat memory
    // and its last errors are kept however much it says besides.
    void KeepLastLogLines(size_t lines);
    uint64_t LogLinesDropped() const;

    // ---- the lifecycle, in host order ---------------------------------------
    // Each logs "export:<name>" and calls the module's entry point.
    int32_t Handshake(PluginModule& module, int32_t hostVersion = 2);
    bool Initialise(PluginModule& module);
    void ProvideDefinitions(PluginModule& module);
    // BeginDeviceInstantiation with the registrar, then OnManualDeviceInstantiation.
    void Instantiate(PluginModule& module, const char* hostText = "vdd-host");
    // Shutdown, then from its return on every call into the host is a violation.
    void Shutdown(PluginModule& module);

    // The two opaque values the host passes to OnManualDeviceInstantiation.
    static void* HostArg1();
    static void* HostArg3();

    // ---- what was published and registered ----------------------------------
    std::vector<DeviceDefinition> Definitions() const;
    std::vector<Registration> Registrations() const;
    size_t DeviceCount() const;  // accepted devices, in registration order
    std::optional<size_t> DeviceIndex(const std::string& name) const;
    ViconDigitalDevice::IDevice* Device(size_t index) const;
    HostDeviceContext& Context(size_t index) const;

    // ---- driving the devices [host]; each logs "IDevice::<name>" ------------
    bool AttachContext(size_t index);
    void RefreshEntries(size_t index);
    bool DeclareSession(size_t index, int32_t sessionId);
    void SessionOpened(size_t index);
    void SoftwareStartTrigger(size_t index);
    void SessionClosed(size_t index);
    DeviceStatus GetStatus(size_t index);

    // A parameter's host value on one device ("" every device that has it).
    void SetParameter(const std::string& device, const std::string& key, bool value);

    // ---- called by the host's interface objects ------------------------------
    void ReceiveLog(const char* text, int32_t level);
    ViconDigitalDevice::IHostResult Register(void* hostArg1, const char* deviceName, void* hostArg3,
                                             const char* deviceNameAgain,
                                             ViconDigitalDevice::IDevice* device);

private:
    class ServicesImpl;
    class RegistrarImpl;

    struct Slot {
        ViconDigitalDevice::IDevice* device = nullptr;
        std::unique_ptr<HostDeviceContext> context;
    };

    Slot& SlotAt(size_t index) const;

    HostCore core_;
    std::unique_ptr<ServicesImpl> services_;
    HostDefinitionBuilder builder_{core_};
    std::unique_ptr<RegistrarImpl> registrar_;

    mutable std::mutex mutex_;  // guards everything below
    std::deque<std::unique_ptr<Slot>> slots_;
    std::vector<Registration> registrations_;
    std::deque<std::unique_ptr<HostSessionDeclaration>> declarations_;
    std::map<int32_t, std::deque<std::pair<uint64_t, LogLine>>> logLines_;  // level -> (n, line)
    uint64_t logLinesReceived_ = 0;
    uint64_t logLinesDropped_ = 0;
    size_t logLineWindow_ = 0;  // 0: unbounded
};

}  // namespace varnix::emulator
