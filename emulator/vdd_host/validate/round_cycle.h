// One load-use-Shutdown cycle of a validate round, in the round's process:
// the drawn host lifecycle driven through the real host pieces (TestHost, its
// fault switches, the push checker), every step told to the journal before
// it is taken, and what the cycle found wrong.
#pragma once

#include "emulator/startup_sequence.h"
#include "emulator/test_host.h"
#include "emulator/vdd_host/common/host_options.h"
#include "emulator/vdd_host/common/plugin_environment.h"
#include "emulator/vdd_host/common/push_checker.h"
#include "emulator/vdd_host/validate/pass_trap.h"
#include "emulator/vdd_host/validate/process_footprint.h"
#include "emulator/vdd_host/validate/round_journal.h"
#include "emulator/vdd_host/validate/round_plan.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace varnix::vddhost {

struct CycleTotals {
    uint64_t pushes = 0;
    size_t devices = 0;
    size_t devicesWithValuesChecked = 0;
};

// [host] Lives on the round process's main thread. The module must be loaded
// and the station profile in place; Run drives the module from Initialise to
// Shutdown and leaves it loaded. The push hook it sets runs on the plug-in's
// threads and touches only the checker's queues and the trap.
class CycleRun : private emulator::StartupHooks {
public:
    CycleRun(const CycleDraw& draw, const HostOptions& options, PluginEnvironment& environment,
             const ProcessFootprint& baseline, RoundJournal& journal, std::string label);
    ~CycleRun();
    CycleRun(const CycleRun&) = delete;
    CycleRun& operator=(const CycleRun&) = delete;

    // Runs the cycle; returns what failed, one line each (empty: it passed).
    // After a failure the plug-in's threads may still run: the caller must
    // not unload the module nor end this object's life.
    std::vector<std::string> Run();
    CycleTotals Totals() const;

private:
    void SetUpHost();
    bool BringUp();  // false: Shutdown came before the devices
    // The start-up's steps, told to the journal, each call guarded.
    bool Before(const emulator::StartupSequence& startup, emulator::StartupStep step,
                int repeat) override;
    void Call(const char* what, const std::function<void()>& call) override;
    void CheckVersion(int32_t answer);
    void StartChecking();
    bool RunSession(size_t index);  // true: Shutdown came inside it
    void Stream(int64_t startNs, int untilMs, const std::vector<SessionEvent>& events,
                size_t& next);
    void Apply(const SessionEvent& event);
    // The events the host's fault switches make: holds and failing pushes.
    void ApplyHostFault(const std::string& at, const SessionEvent& event, size_t device);
    // A new declaration with the next redeclaration id; `step` says it,
    // with %ID% for the id.
    void Redeclare(const std::string& step, size_t device);
    void RefreshWithChange(const std::string& at, int drawnDevice);
    void ShutDownAt(const SessionDraw& session);
    void ShutDown(const std::string& moment);
    void Check();

    size_t Devices() const;
    std::string DeviceName(int drawn) const;
    size_t DeviceIndex(int drawn) const;
    void Step(const std::string& text);
    void Fail(std::string text) { failures_.push_back(std::move(text)); }
    // Runs a call into the module; an exception that comes out is a failure.
    void Guard(const std::string& what, const std::function<void()>& call);

    const CycleDraw& draw_;
    const HostOptions& options_;
    PluginEnvironment& environment_;
    const ProcessFootprint& baseline_;
    RoundJournal& journal_;
    const std::string label_;
    const std::vector<std::string> sensorNames_;
    emulator::TestHost host_;
    // [host] made once the devices are registered, before the push hook that
    // uses it on [handoff] threads is set (the fault switches' mutex orders
    // the two); never replaced. Enqueue is its only member the hook calls.
    std::unique_ptr<PushChecker> checker_;
    PassTrap trap_;  // [host] arms, [handoff] springs; lock-free
    // [host] only, from here on.
    std::vector<std::string> failures_;
    int32_t redeclareIds_ = 0;  // session ids of redeclarations: 100001, 100002 ...
    bool shutDown_ = false;
};

}  // namespace varnix::vddhost
