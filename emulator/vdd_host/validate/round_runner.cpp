#include "emulator/vdd_host/validate/round_runner.h"

#include "emulator/vdd_host/common/plugin_environment.h"
#include "emulator/vdd_host/validate/process_footprint.h"
#include "emulator/vdd_host/validate/round_cycle.h"
#include "emulator/vdd_host/validate/station_profile_text.h"

#include <dlfcn.h>
#include <unistd.h>

#include <thread>

namespace varnix::vddhost {

namespace {

[[noreturn]] void EndFailed(RoundJournal& journal, const std::vector<std::string>& failures) {
    for (const std::string& failure : failures) journal.Failure(failure);
    _exit(kExitCheckFailed);
}

// A runtime may start a helper thread of its own at the process's first
// thread (ThreadSanitizer does): start one before the baseline is taken, so
// that the helper is in it and not counted against the plug-in.
void StartRuntimeHelpers() {
    std::thread([] {}).join();
}

// Loads the drawn station into the simulated station the module will use.
// "" or what went wrong.
std::string LoadStation(const StationObserver& station, const StationDraw& draw) {
    using LoadProfileText = int (*)(const char*, char*, size_t);
    void* handle = dlopen(station.Path().c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NOLOAD);
    if (handle == nullptr) return "the station library " + station.Path() + " is not loaded";
    auto load = reinterpret_cast<LoadProfileText>(dlsym(handle, "VarnixSim_LoadProfileText"));
    char error[1024] = {};
    const bool loaded =
        load != nullptr && load(StationProfileText(draw).c_str(), error, sizeof error) == 0;
    dlclose(handle);
    if (loaded) return "";
    return load == nullptr ? "the station has no VarnixSim_LoadProfileText"
                           : std::string("the station refused the drawn profile: ") + error;
}

std::string StationLine(const StationDraw& station) {
    return std::to_string(station.SensorCount()) +
           (station.SensorCount() == 1 ? " sensor" : " sensors") + ", frame multiple " +
           std::to_string(station.frameMultiple) + ", queue " +
           std::to_string(station.queueCapacity);
}

}  // namespace

int RunRound(const RoundPlan& plan, const HostOptions& options, RoundJournal& journal) {
    StartRuntimeHelpers();
    const ProcessFootprint before = TakeFootprint(options.modulePath);
    PluginEnvironment environment;
    CycleTotals totals;
    for (size_t c = 0; c < plan.cycles.size(); ++c) {
        const CycleDraw& draw = plan.cycles[c];
        const std::string label =
            "cycle " + std::to_string(c + 1) + "/" + std::to_string(plan.cycles.size());
        journal.Step(label + ": load " + options.modulePath +
                     " (station: " + StationLine(draw.station) + ")");
        if (c == 0) {
            const std::string problem = LoadEnvironment(options, environment);
            if (!problem.empty()) {
                journal.EnvironmentError(problem);
                return kExitEnvironment;
            }
        } else if (!environment.module.Load(options.modulePath)) {
            EndFailed(journal,
                      {"the module did not load again: " + environment.module.ErrorText()});
        }
        if (environment.station.Simulated()) {
            const std::string problem = LoadStation(environment.station, draw.station);
            if (!problem.empty()) EndFailed(journal, {problem});
        } else {
            journal.Step(
                label +
                ": the station has no simulation exports: its own sensors, values not checked");
        }
        {
            CycleRun cycle(draw, options, environment, before, journal, label);
            const std::vector<std::string> failures = cycle.Run();
            if (!failures.empty()) EndFailed(journal, failures);
            const CycleTotals done = cycle.Totals();
            totals.pushes += done.pushes;
            totals.devices += done.devices;
            totals.devicesWithValuesChecked += done.devicesWithValuesChecked;
        }
        journal.Step(label + ": unload the module");
        if (!environment.module.Unload()) EndFailed(journal, {environment.module.ErrorText()});
    }
    std::vector<std::string> left;
    for (const std::string& change : FootprintChanges(before, TakeFootprint(options.modulePath))) {
        left.push_back("after the last unload: " + change);
    }
    if (!left.empty()) EndFailed(journal, left);
    journal.Summary(
        std::to_string(totals.pushes) + " pushes checked on " + std::to_string(totals.devices) +
        (totals.devices == 1 ? " device (" : " devices (") +
        std::to_string(totals.devicesWithValuesChecked) + " with every value compared)");
    return kExitOk;
}

}  // namespace varnix::vddhost
