#include "emulator/definition_builder.h"

#include "emulator/host_operations.h"

#include <utility>

namespace varnix::emulator {

namespace {

std::string Text(const char* text) {
    return text != nullptr ? text : "";
}

}  // namespace

std::string HostDefinitionBuilder::OpenDeviceName() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return open_ ? current_.name : std::string();
}

ViconDigitalDevice::IHostResult HostDefinitionBuilder::Enter(const char* operation,
                                                             const std::string& arguments) {
    if (!lent_.load()) {
        core_.monitor.Report(
            "builder-not-lent",
            std::string(operation) + " on the definition builder outside ProvideDeviceDefinitions",
            "the builder is used only during ProvideDeviceDefinitions");
    }
    return core_.Enter(operation, arguments, OpenDeviceName());
}

void HostDefinitionBuilder::ReportOrder(const std::string& what, const std::string& expected) {
    core_.monitor.Report("builder-order", what, expected);
}

ViconDigitalDevice::IHostResult HostDefinitionBuilder::DefineDevice(
    const char* manufacturer, const char* deviceName, const char* version,
    const char* deviceNameAgain, const char* deviceType, const char* addCommandCaption,
    const char* description) {
    auto result =
        core_.Enter(op::kDefineDevice,
                    Quoted(manufacturer) + "," + Quoted(deviceName) + "," + Quoted(version) + "," +
                        Quoted(deviceNameAgain) + "," + Quoted(deviceType) + "," +
                        Quoted(addCommandCaption) + "," + Quoted(description),
                    Text(deviceName));
    if (!lent_.load()) {
        core_.monitor.Report("builder-not-lent", "DefineDevice outside ProvideDeviceDefinitions",
                             "the builder is used only during ProvideDeviceDefinitions");
    }
    std::lock_guard<std::mutex> lock(mutex_);
    if (open_) {
        ReportOrder("DefineDevice " + Quoted(deviceName) + " while " +
                        Quoted(current_.name.c_str()) + " is still open",
                    "Commit before the next DefineDevice");
    }
    refused_ = result.error != nullptr;
    open_ = !refused_;
    current_ = DeviceDefinition{};
    if (open_) {
        current_.manufacturer = Text(manufacturer);
        current_.name = Text(deviceName);
        current_.version = Text(version);
        current_.nameAgain = Text(deviceNameAgain);
        current_.type = Text(deviceType);
        current_.addCommandCaption = Text(addCommandCaption);
        current_.description = Text(description);
    }
    return result;
}

ViconDigitalDevice::IHostResult HostDefinitionBuilder::AddBoolParameter(
    const char* key, const char* displayName, const char* help, const char* group, bool flag,
    const ViconDigitalDevice::IParameterValueBool& defaultValue, void* reserved) {
    // The SDK's IParameterValueBool derives (singly) from
    // IParameterValueTemplate<bool>, so the same address is that base. Its
    // operations are not const; the host only reads through them.
    auto& value = const_cast<ViconDigitalDevice::IParameterValueTemplate<bool>&>(
        reinterpret_cast<const ViconDigitalDevice::IParameterValueTemplate<bool>&>(defaultValue));
    ParameterDefinition parameter;
    parameter.key = Text(key);
    parameter.displayName = Text(displayName);
    parameter.help = Text(help);
    parameter.group = Text(group);
    parameter.flag = flag;
    parameter.reservedWasNull = reserved == nullptr;
    parameter.defaultReported = BoolValueState{value.TypeCode(), value.Value(), value.Flag1(),
                                               value.Flag2(), value.Flag3()};
    HostBoolValue copy;
    parameter.defaultCopied = value.CopyTo(copy);
    parameter.defaultValue = copy.State();
    const BoolValueState& read = parameter.defaultValue;
    auto result =
        Enter(op::kAddBoolParameter,
              Quoted(key) + "," + Quoted(displayName) + "," + Quoted(help) + "," + Quoted(group) +
                  "," + (flag ? "true" : "false") + ",{type " + std::to_string(read.typeCode) +
                  " value " + std::to_string(read.value) + " flags " + std::to_string(read.flag1) +
                  std::to_string(read.flag2) + std::to_string(read.flag3) +
                  (parameter.defaultCopied ? "" : " copy refused") + "}," +
                  (reserved == nullptr ? "null" : "non-null"));
    std::lock_guard<std::mutex> lock(mutex_);
    if (result.error != nullptr || refused_) return result;
    if (!open_) {
        ReportOrder("AddBoolParameter " + Quoted(key) + " with no device open",
                    "DefineDevice first");
        return result;
    }
    current_.parameters.push_back(std::move(parameter));
    return result;
}

ViconDigitalDevice::IHostResult HostDefinitionBuilder::AddSignal(const char* name) {
    auto result = Enter(op::kAddSignal, Quoted(name));
    std::lock_guard<std::mutex> lock(mutex_);
    if (result.error != nullptr || refused_) return result;
    if (!open_) {
        ReportOrder("AddSignal " + Quoted(name) + " with no device open", "DefineDevice first");
        return result;
    }
    current_.signals.push_back(Text(name));
    return result;
}

ViconDigitalDevice::IHostResult HostDefinitionBuilder::AddOutput(const char* name,
                                                                 int32_t unitCode) {
    auto result = Enter(op::kAddOutput, Quoted(name) + "," + std::to_string(unitCode));
    std::lock_guard<std::mutex> lock(mutex_);
    if (result.error != nullptr || refused_) return result;
    if (!open_) {
        ReportOrder("AddOutput " + Quoted(name) + " with no device open", "DefineDevice first");
        return result;
    }
    current_.outputs.push_back(OutputDefinition{Text(name), unitCode, {}});
    return result;
}

ViconDigitalDevice::IHostResult HostDefinitionBuilder::AddComponent(const char* name) {
    auto result = Enter(op::kAddComponent, Quoted(name));
    std::lock_guard<std::mutex> lock(mutex_);
    if (result.error != nullptr || refused_) return result;
    if (!open_ || current_.outputs.empty()) {
        ReportOrder("AddComponent " + Quoted(name) + " with no output to join",
                    "AddOutput before its components");
        return result;
    }
    current_.outputs.back().components.push_back(Text(name));
    return result;
}

void HostDefinitionBuilder::Unused5() {
    core_.log.Append("Unused5", "");
    core_.monitor.Report("unused-slot", "IDeviceDefinitionBuilder slot 5 called",
                         "slot 5 is never called");
}

ViconDigitalDevice::IHostResult HostDefinitionBuilder::Commit() {
    auto result = Enter(op::kCommit, "");
    std::lock_guard<std::mutex> lock(mutex_);
    const bool wasRefused = refused_;
    refused_ = false;
    if (!open_) {
        if (!wasRefused) ReportOrder("Commit with no device open", "DefineDevice before Commit");
        return result;
    }
    open_ = false;
    if (result.error != nullptr) return result;
    current_.committed = true;
    devices_.push_back(std::move(current_));
    current_ = DeviceDefinition{};
    return result;
}

std::vector<DeviceDefinition> HostDefinitionBuilder::Devices() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return devices_;
}

}  // namespace varnix::emulator
