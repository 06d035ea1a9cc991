// The names of the host's operations as the host's log, its fault switches,
// vdd-host's --fail and validate's drawn faults know them. One list, so a
// name given on the command line is the name the host answers to.
#pragma once

namespace varnix::emulator::op {

constexpr const char* kDefineDevice = "DefineDevice";
constexpr const char* kAddBoolParameter = "AddBoolParameter";
constexpr const char* kAddSignal = "AddSignal";
constexpr const char* kAddOutput = "AddOutput";
constexpr const char* kAddComponent = "AddComponent";
constexpr const char* kCommit = "Commit";
constexpr const char* kRegisterDevice = "RegisterDevice";
constexpr const char* kGetParameterValue = "GetParameterValue";
constexpr const char* kFillEntries = "FillEntries";
constexpr const char* kPushSamples = "PushSamples";
constexpr const char* kSetPeriod = "SetPeriod";
constexpr const char* kDeclareSignal = "DeclareSignal";
constexpr const char* kSetValueCount = "SetValueCount";

// The operations that answer with a result, so a host can fail them.
constexpr const char* kFailable[] = {
    kDefineDevice, kAddBoolParameter, kAddSignal,         kAddOutput,   kAddComponent,
    kCommit,       kRegisterDevice,   kGetParameterValue, kFillEntries, kPushSamples,
    kSetPeriod,    kDeclareSignal,    kSetValueCount};

}  // namespace varnix::emulator::op
