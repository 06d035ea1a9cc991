#include "emulator/test_host.h"

#include "emulator/host_operations.h"
#include "emulator/thread_identity.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace varnix::emulator {

class TestHost::ServicesImpl final : public ViconDigitalDevice::IHostServices {
public:
    explicit ServicesImpl(TestHost& host) : host_(host) {}
    // [host][acquisition][handoff]
    void Log(const char* text, int32_t level) override { host_.ReceiveLog(text, level); }
    uint32_t GetTimebase() override {
        host_.core_.Enter("GetTimebase", "", "", true, false);
        return host_.core_.settings.timebase.load();
    }
    int32_t GetStartCode() override {
        host_.core_.Enter("GetStartCode", "", "", true, false);
        return host_.core_.settings.startCode.load();
    }

private:
    TestHost& host_;
};

class TestHost::RegistrarImpl final : public ViconDigitalDevice::IDeviceRegistrar {
public:
    explicit RegistrarImpl(TestHost& host) : host_(host) {}
    // [host]
    ViconDigitalDevice::IHostResult RegisterDevice(void* hostArg1, const char* deviceName,
                                                   void* hostArg3, const char* deviceNameAgain,
                                                   ViconDigitalDevice::IDevice* device) override {
        return host_.Register(hostArg1, deviceName, hostArg3, deviceNameAgain, device);
    }

private:
    TestHost& host_;
};

namespace {

int gHostArg1 = 1;
int gHostArg3 = 3;

std::string Pointer(const void* pointer) {
    if (pointer == nullptr) return "null";
    if (pointer == &gHostArg1) return "hostArg1";
    if (pointer == &gHostArg3) return "hostArg3";
    return "object";
}

}  // namespace

TestHost::TestHost()
    : services_(std::make_unique<ServicesImpl>(*this)),
      registrar_(std::make_unique<RegistrarImpl>(*this)) {}

TestHost::~TestHost() = default;

void* TestHost::HostArg1() {
    return &gHostArg1;
}
void* TestHost::HostArg3() {
    return &gHostArg3;
}

ViconDigitalDevice::IHostServices* TestHost::Services() {
    return services_.get();
}
HostDefinitionBuilder& TestHost::Builder() {
    return builder_;
}
ViconDigitalDevice::IDeviceRegistrar* TestHost::Registrar() {
    return registrar_.get();
}

std::vector<LogLine> TestHost::LogLines() const {
    std::vector<std::pair<uint64_t, LogLine>> numbered;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const auto& [level, lines] : logLines_)
            numbered.insert(numbered.end(), lines.begin(), lines.end());
    }
    std::sort(numbered.begin(), numbered.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<LogLine> lines;
    lines.reserve(numbered.size());
    for (auto& [n, line] : numbered) lines.push_back(std::move(line));
    return lines;
}

void TestHost::KeepLastLogLines(size_t lines) {
    std::lock_guard<std::mutex> lock(mutex_);
    logLineWindow_ = lines;
    for (auto& [level, kept] : logLines_) {
        while (logLineWindow_ > 0 && kept.size() > logLineWindow_) {
            kept.pop_front();
            ++logLinesDropped_;
        }
    }
}

uint64_t TestHost::LogLinesDropped() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return logLinesDropped_;
}

void TestHost::ReceiveLog(const char* text, int32_t level) {
    LogLine line{text != nullptr ? text : "(null)", level, CurrentThreadId(), CurrentThreadName(),
                 MonotonicNowNs()};
    core_.Enter("Log", Quoted(text) + "," + std::to_string(level), "", true, false);
    std::lock_guard<std::mutex> lock(mutex_);
    auto& kept = logLines_[level];
    if (logLineWindow_ > 0 && kept.size() >= logLineWindow_) {
        kept.pop_front();
        ++logLinesDropped_;
    }
    kept.emplace_back(logLinesReceived_++, std::move(line));
}

int32_t TestHost::Handshake(PluginModule& module, int32_t hostVersion) {
    core_.log.Append("export:HostAPIVersion", "null," + std::to_string(hostVersion));
    module.HostAPIVersion(nullptr, hostVersion);
    core_.log.Append("export:PluginAPIVersion", "");
    return module.PluginAPIVersion();
}

bool TestHost::Initialise(PluginModule& module) {
    core_.log.Append("export:Initialise", "services");
    return module.Initialise(Services());
}

void TestHost::ProvideDefinitions(PluginModule& module) {
    core_.log.Append("export:ProvideDeviceDefinitions", "builder");
    builder_.SetLent(true);
    module.ProvideDeviceDefinitions(&builder_);
    builder_.SetLent(false);
}

void TestHost::Instantiate(PluginModule& module, const char* hostText) {
    core_.log.Append("export:BeginDeviceInstantiation", "registrar");
    module.BeginDeviceInstantiation(Registrar());
    core_.log.Append("export:OnManualDeviceInstantiation",
                     "hostArg1," + Quoted(hostText) + ",hostArg3");
    module.OnManualDeviceInstantiation(HostArg1(), hostText, HostArg3());
}

void TestHost::Shutdown(PluginModule& module) {
    core_.log.Append("export:Shutdown", "");
    module.Shutdown();
    core_.NoteShutdownReturned();
}

ViconDigitalDevice::IHostResult TestHost::Register(void* hostArg1, const char* deviceName,
                                                   void* hostArg3, const char* deviceNameAgain,
                                                   ViconDigitalDevice::IDevice* device) {
    const std::string name = deviceName != nullptr ? deviceName : "";
    auto result =
        core_.Enter(op::kRegisterDevice,
                    Pointer(hostArg1) + "," + Quoted(deviceName) + "," + Pointer(hostArg3) + "," +
                        Quoted(deviceNameAgain) + "," + (device ? "device" : "null"),
                    name);
    Registration registration{
        hostArg1, name,  hostArg3,    deviceNameAgain != nullptr ? deviceNameAgain : "",
        device,   false, std::nullopt};
    if (result.error == nullptr && device == nullptr) {
        core_.monitor.Report("null-device",
                             "RegisterDevice " + Quoted(deviceName) + " with a null device",
                             "a device object to register");
        result = core_.errors.Issue("RegisterDevice refused a null device", op::kRegisterDevice);
    }
    if (result.error != nullptr) {
        std::lock_guard<std::mutex> lock(mutex_);
        registrations_.push_back(std::move(registration));
        return result;
    }
    std::optional<DeviceDefinition> definition;
    for (const DeviceDefinition& candidate : builder_.Devices()) {
        if (candidate.name == name) {
            definition = candidate;
            break;
        }
    }
    std::lock_guard<std::mutex> lock(mutex_);
    const size_t index = slots_.size();
    auto slot = std::make_unique<Slot>();
    slot->device = device;
    slot->context = std::make_unique<HostDeviceContext>(core_, index, name, std::move(definition));
    slots_.push_back(std::move(slot));
    registration.accepted = true;
    registration.index = index;
    registrations_.push_back(std::move(registration));
    return result;
}

std::vector<DeviceDefinition> TestHost::Definitions() const {
    return builder_.Devices();
}

std::vector<Registration> TestHost::Registrations() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return registrations_;
}

size_t TestHost::DeviceCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return slots_.size();
}

std::optional<size_t> TestHost::DeviceIndex(const std::string& name) const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (size_t i = 0; i < slots_.size(); ++i) {
        if (slots_[i]->context->Name() == name) return i;
    }
    return std::nullopt;
}

TestHost::Slot& TestHost::SlotAt(size_t index) const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (index >= slots_.size()) {
        throw std::out_of_range("device index " + std::to_string(index) + " of " +
                                std::to_string(slots_.size()) + " registered devices");
    }
    return *slots_[index];
}

ViconDigitalDevice::IDevice* TestHost::Device(size_t index) const {
    return SlotAt(index).device;
}
HostDeviceContext& TestHost::Context(size_t index) const {
    return *SlotAt(index).context;
}

bool TestHost::AttachContext(size_t index) {
    Slot& slot = SlotAt(index);
    core_.log.Append("IDevice::AttachContext", slot.context->Name());
    return slot.device->AttachContext(slot.context.get());
}

void TestHost::RefreshEntries(size_t index) {
    Slot& slot = SlotAt(index);
    core_.log.Append("IDevice::RefreshEntries", slot.context->Name());
    slot.device->RefreshEntries();
}

bool TestHost::DeclareSession(size_t index, int32_t sessionId) {
    Slot& slot = SlotAt(index);
    core_.log.Append("IDevice::DeclareSession",
                     slot.context->Name() + "," + std::to_string(sessionId));
    slot.context->BeginDeclaration(sessionId);
    auto declaration = std::make_unique<HostSessionDeclaration>(core_, *slot.context, sessionId);
    HostSessionDeclaration* lent = declaration.get();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        declarations_.push_back(std::move(declaration));
    }
    const bool answer = slot.device->DeclareSession(sessionId, lent);
    lent->EndLending();
    return answer;
}

void TestHost::SessionOpened(size_t index) {
    Slot& slot = SlotAt(index);
    core_.log.Append("IDevice::SessionOpened", slot.context->Name());
    slot.device->SessionOpened();
}

void TestHost::SoftwareStartTrigger(size_t index) {
    Slot& slot = SlotAt(index);
    core_.log.Append("IDevice::SoftwareStartTrigger", slot.context->Name());
    slot.device->SoftwareStartTrigger();
}

void TestHost::SessionClosed(size_t index) {
    Slot& slot = SlotAt(index);
    core_.log.Append("IDevice::SessionClosed", slot.context->Name());
    slot.device->SessionClosed();
}

DeviceStatus TestHost::GetStatus(size_t index) {
    Slot& slot = SlotAt(index);
    DeviceStatus status;
    slot.device->GetStatus(&status.readyState, &status.redeclareRequested);
    core_.log.Append("IDevice::GetStatus", slot.context->Name() + "," +
                                               std::to_string(status.readyState) + "," +
                                               (status.redeclareRequested ? "true" : "false"));
    return status;
}

void TestHost::SetParameter(const std::string& device, const std::string& key, bool value) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& slot : slots_) {
        HostDeviceContext& context = *slot->context;
        if (!device.empty() && context.Name() != device) continue;
        if (device.empty() && !context.Parameter(key)) continue;
        context.SetParameter(key, value);
    }
}

}  // namespace varnix::emulator
