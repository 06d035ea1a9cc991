// The host's device definition builder: records every call the module makes
// while it publishes and compares it at once with the call expected next, so
// that the first wrong call is on the screen even if the module dies right
// after (a module that passes no hidden result pointer makes the host write
// its result over one of its texts). It looks at each default value object
// the module lends with AddBoolParameter while it is alive, and refuses two
// calls (the third AddComponent and the AddSignal) to see the module release
// the results and publish on. [host] only: the module publishes on the
// host's thread.
#pragma once

#include "tests/windows/call_journal.h"
#include "tests/windows/host_error.h"
#include "tests/windows/report.h"
#include "tests/windows/sdk_interfaces.h"

// The lines the calls are recorded as; the expectation uses the same ones.
namespace definition_calls {
Text DefineDevice(const char* manufacturer, const char* deviceName, const char* version,
                  const char* deviceNameAgain, const char* deviceType,
                  const char* addCommandCaption, const char* description);
Text AddBoolParameter(const char* key, const char* displayName, const char* help, const char* group,
                      bool flag, const void* reserved);
Text AddSignal(const char* name);
Text AddOutput(const char* name, int32_t unitCode);
Text AddComponent(const char* name);
Text Commit();
// The calls that publish sensor `sensor` (0-based) of the default profile.
void ExpectedFor(int sensor, CallJournal& journal);
}  // namespace definition_calls

class DefinitionBuilder final : public ViconDigitalDevice::IDeviceDefinitionBuilder {
public:
    // The AddComponent call (counted from 1) that the host refuses.
    static constexpr int kRefusedComponent = 3;

    // [host] Before ProvideDeviceDefinitions: the calls expected, in order
    // (kept by reference). The first call that differs is reported at once.
    void Expect(const CallJournal& expected) { expected_ = &expected; }
    bool DifferenceReported() const { return inOrder_.Failed(); }

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
    void Unused5() override { ++unusedCalls_; }
    ViconDigitalDevice::IHostResult Commit() override;

    const CallJournal& Calls() const { return calls_; }
    // One line per AddBoolParameter: "<key>: <what the host saw of the default>".
    const CallJournal& Defaults() const { return defaults_; }
    const HostError& Refusals() const { return refusal_; }
    unsigned UnusedCalls() const { return unusedCalls_; }

private:
    void Record(const Text& line);
    // Calls the default value object through its slots while the module's
    // call lasts (the object lives on the module's stack).
    static Text ObserveDefault(const ViconDigitalDevice::IParameterValueBool& defaultValue);

    const CallJournal* expected_ = nullptr;
    report::RunningCheck inOrder_{"the definition calls arrive in order as published"};
    CallJournal calls_;
    CallJournal defaults_;
    HostError refusal_{"refused by the reference host's builder"};
    int components_ = 0;
    unsigned unusedCalls_ = 0;
};
