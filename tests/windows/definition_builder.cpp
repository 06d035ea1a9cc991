#include "tests/windows/definition_builder.h"

#include "tests/windows/expected_definitions.h"
#include "tests/windows/host_bool_value.h"

using ViconDigitalDevice::IHostResult;
using ViconDigitalDevice::IParameterValueBool;

namespace definition_calls {

Text DefineDevice(const char* manufacturer, const char* deviceName, const char* version,
                  const char* deviceNameAgain, const char* deviceType,
                  const char* addCommandCaption, const char* description) {
    Text line("DefineDevice(");
    line.Quoted(manufacturer).Add(", ").Quoted(deviceName).Add(", ").Quoted(version);
    line.Add(", ").Quoted(deviceNameAgain).Add(", ").Quoted(deviceType);
    line.Add(", ").Quoted(addCommandCaption).Add(", ").Quoted(description).Add(")");
    return line;
}

Text AddBoolParameter(const char* key, const char* displayName, const char* help, const char* group,
                      bool flag, const void* reserved) {
    Text line("AddBoolParameter(");
    line.Quoted(key).Add(", ").Quoted(displayName).Add(", ").Quoted(help);
    line.Add(", ").Quoted(group).Add(", ").Bool(flag).Add(", <default value>, ");
    if (reserved == nullptr) {
        line.Add("null");
    } else {
        line.Hex(reinterpret_cast<uintptr_t>(reserved));
    }
    return line.Add(")");
}

Text AddSignal(const char* name) {
    return Text("AddSignal(").Quoted(name).Add(")");
}

Text AddOutput(const char* name, int32_t unitCode) {
    return Text("AddOutput(").Quoted(name).Add(", ").Int(unitCode).Add(")");
}

Text AddComponent(const char* name) {
    return Text("AddComponent(").Quoted(name).Add(")");
}

Text Commit() {
    return Text("Commit()");
}

void ExpectedFor(int sensor, CallJournal& journal) {
    Text name(expected::kSensorNamePrefix);
    name.Int(sensor + 1);
    journal.Add(DefineDevice(expected::kManufacturer, name.c_str(), expected::kVersion,
                             name.c_str(), expected::kDeviceType, expected::kAddCommandCaption,
                             expected::kDescription));
    for (const expected::Output& output : expected::kOutputs) {
        journal.Add(AddOutput(output.name, output.hostUnitCode));
        for (int c = 0; c < output.componentCount; ++c) {
            journal.Add(AddComponent(output.components[c]));
        }
    }
    if (sensor == 0) {
        for (const expected::Parameter& parameter : expected::kParameters) {
            journal.Add(AddBoolParameter(parameter.key, parameter.displayName, parameter.help,
                                         expected::kParameterGroup, false, nullptr));
        }
        journal.Add(AddSignal(expected::kSignal));
    }
    journal.Add(Commit());
}

}  // namespace definition_calls

void DefinitionBuilder::Record(const Text& line) {
    calls_.Add(line);
    const size_t index = calls_.Size() - 1;
    if (expected_ == nullptr || inOrder_.Failed()) return;
    if (index < expected_->Size() && line.Is(expected_->At(index))) return;
    Text detail("call ");
    detail.Unsigned(index + 1).Add(": expected ");
    detail.Add(index < expected_->Size() ? expected_->At(index) : "no more calls");
    detail.Add(", got ").Add(line);
    inOrder_.Fail(detail);
}

IHostResult DefinitionBuilder::DefineDevice(const char* manufacturer, const char* deviceName,
                                            const char* version, const char* deviceNameAgain,
                                            const char* deviceType, const char* addCommandCaption,
                                            const char* description) {
    Record(definition_calls::DefineDevice(manufacturer, deviceName, version, deviceNameAgain,
                                          deviceType, addCommandCaption, description));
    return Success();
}

IHostResult DefinitionBuilder::AddBoolParameter(const char* key, const char* displayName,
                                                const char* help, const char* group, bool flag,
                                                const IParameterValueBool& defaultValue,
                                                void* reserved) {
    Record(definition_calls::AddBoolParameter(key, displayName, help, group, flag, reserved));
    Text seen;
    seen.Add(ReadableText(key, 64) ? key : "<unreadable key>").Add(": ");
    seen.Add(ObserveDefault(defaultValue));
    defaults_.Add(seen);
    return Success();
}

IHostResult DefinitionBuilder::AddSignal(const char* name) {
    Record(definition_calls::AddSignal(name));
    return refusal_.HandOut();
}

IHostResult DefinitionBuilder::AddOutput(const char* name, int32_t unitCode) {
    Record(definition_calls::AddOutput(name, unitCode));
    return Success();
}

IHostResult DefinitionBuilder::AddComponent(const char* name) {
    Record(definition_calls::AddComponent(name));
    return ++components_ == kRefusedComponent ? refusal_.HandOut() : Success();
}

IHostResult DefinitionBuilder::Commit() {
    Record(definition_calls::Commit());
    return Success();
}

Text DefinitionBuilder::ObserveDefault(const IParameterValueBool& defaultValue) {
    // Const is the declaration's; the operations themselves are not const.
    auto& value = const_cast<IParameterValueBool&>(defaultValue);
    const void* object = &value;
    if (!ReadableMemory(object, 16) ||
        !ReadableMemory(*static_cast<void* const*>(object), 15 * 8)) {
        return Text("not an object: ").Hex(reinterpret_cast<uintptr_t>(object));
    }
    Text seen("TypeCode ");
    seen.Int(value.TypeCode()).Add(", Value ").Bool(value.Value());
    seen.Add(", Flag1 ").Bool(value.Flag1()).Add(", Flag2 ").Bool(value.Flag2());
    seen.Add(", Flag3 ").Bool(value.Flag3());
    HostBoolValue target(true, true, true, true);
    seen.Add(", CopyTo ").Bool(value.CopyTo(target)).Add(" with ");
    seen.Unsigned(target.AssignedLength()).Add(" bytes ");
    for (uint32_t i = 0; i < target.AssignedLength() && i < 16; ++i) {
        seen.Add(i == 0 ? "" : ",").Unsigned(target.AssignedBytes()[i]);
    }
    HostBoolValue same(false, false, false, false);
    HostBoolValue flag2Set(false, false, true, false);
    seen.Add(", Equals(false) ").Bool(value.Equals(same));
    seen.Add(", Equals(flag2 set) ").Bool(value.Equals(flag2Set));
    return seen;
}
