// The host's start-up sequence, written once for every host we drive a
// module with (vdd-host's commands, the tests, the benchmark): the
// handshake, Initialise, the definitions, instantiation, a context on every
// device and the first declaration. Each step can be watched, guarded or
// stopped by hooks, which is how validate journals its steps, catches what a
// broken plug-in throws and shuts down between two steps.
#pragma once

#include "emulator/plugin_module.h"
#include "emulator/test_host.h"

#include <cstdint>
#include <functional>
#include <optional>

namespace varnix::emulator {

enum class StartupStep {
    kHandshake,      // HostAPIVersion, PluginAPIVersion
    kInitialise,     // Initialise(services)
    kDefinitions,    // ProvideDeviceDefinitions, plan.definitionRequests times
    kInstantiation,  // BeginDeviceInstantiation, OnManualDeviceInstantiation
    kAttach,         // AttachContext on every registered device
    kDeclare,        // DeclareSession(plan.sessionId) on every device
};

struct StartupPlan {
    int32_t hostVersion = 2;
    int definitionRequests = 1;
    const char* hostText = "vdd-host";  // OnManualDeviceInstantiation's text
    int32_t sessionId = 1;
};

class StartupSequence;

// [host] What a user of the sequence does around its steps; by default
// nothing. Hooks run on the thread that runs the sequence.
class StartupHooks {
public:
    virtual ~StartupHooks() = default;
    // Before each call of a step (`repeat` counts the definition requests
    // from 1; 1 for every other step). False stops the sequence there.
    virtual bool Before(const StartupSequence& /*sequence*/, StartupStep /*step*/, int /*repeat*/) {
        return true;
    }
    // Makes one call into the module; `what` names it as the host would.
    virtual void Call(const char* /*what*/, const std::function<void()>& call) { call(); }
};

class StartupSequence {
public:
    // The host and the module are lent for the sequence's life; the module
    // must be loaded.
    StartupSequence(TestHost& host, PluginModule& module, StartupPlan plan = {},
                    StartupHooks* hooks = nullptr);

    // [host] Takes the steps after the last one taken, up to `last`. False
    // when a hook stopped it; then no later call takes a step. Blocks as long
    // as the plug-in takes to answer.
    bool RunThrough(StartupStep last);

    int32_t PluginVersion() const { return pluginVersion_; }  // 0 before the handshake
    bool Initialised() const { return initialised_; }         // Initialise answered true

private:
    bool Take(StartupStep step);
    bool TakeOnce(StartupStep step, int repeat);

    TestHost& host_;
    PluginModule& module_;
    const StartupPlan plan_;
    StartupHooks defaultHooks_;
    StartupHooks& hooks_;
    std::optional<StartupStep> taken_;  // the last step taken
    bool stopped_ = false;
    int32_t pluginVersion_ = 0;
    bool initialised_ = false;
};

}  // namespace varnix::emulator
