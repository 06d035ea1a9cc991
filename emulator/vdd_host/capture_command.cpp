#include "emulator/test_host.h"
#include "emulator/thread_identity.h"
#include "emulator/vdd_host/capture_summary.h"
#include "emulator/vdd_host/csv_export.h"
#include "emulator/vdd_host/host_commands.h"
#include "emulator/vdd_host/host_setup.h"
#include "emulator/vdd_host/live_status.h"
#include "emulator/vdd_host/plugin_environment.h"
#include "emulator/vdd_host/svg_plot.h"

#include <chrono>
#include <cstdio>
#include <iostream>
#include <map>
#include <set>
#include <thread>

namespace varnix::vddhost {

namespace {

using namespace std::chrono_literals;

// How often the main thread checks what arrived and refreshes the status.
constexpr auto kCheckInterval = 50ms;
// After Shutdown the host keeps listening this long for calls that should
// no longer come.
constexpr auto kAfterShutdownWatch = 200ms;
// At the end of the last session the host notes how many frames the station
// has delivered, then waits this long, so that every one of them can reach
// every device before the session closes and the plug-in shuts down.
constexpr auto kSettleBeforeClose = 150ms;

double SecondsSince(int64_t startNs) {
    return static_cast<double>(emulator::MonotonicNowNs() - startNs) * 1e-9;
}

// Samples per second per stream: from the station's frame clock when it is
// observable (S samples every frame period), else from the declared period.
std::vector<double> DeviceRates(const emulator::TestHost& host, const PushChecker& checker) {
    std::vector<double> rates;
    for (size_t d = 0; d < checker.DeviceCount(); ++d) {
        const DeviceLayout& layout = checker.Layouts()[d];
        const int32_t samples = checker.Tally(d).samplesPerFrame;
        double rate = 0.0;
        if (layout.framePeriodS > 0 && samples > 0) {
            rate = samples / layout.framePeriodS;
        } else {
            const auto declarations = host.Context(d).Declarations();
            if (!declarations.empty() && declarations.back().period && *declarations.back().period > 0) {
                rate = static_cast<double>(kHostTimebase) / static_cast<double>(*declarations.back().period);
            }
        }
        rates.push_back(rate);
    }
    return rates;
}

// Runs one session on every device: declare, open, stream, close.
void RunSession(emulator::TestHost& host, const HostOptions& options, int session, PushChecker& checker,
                const StationObserver& station, LiveStatus& status, int64_t captureStartNs, bool last,
                std::vector<emulator::DeviceStatus>& statuses) {
    const size_t devices = host.DeviceCount();
    for (size_t d = 0; d < devices; ++d) host.DeclareSession(d, session);
    for (size_t d = 0; d < devices; ++d) {
        checker.NoteIndexReset(d);
        host.SessionOpened(d);
    }
    const int64_t sessionStartNs = emulator::MonotonicNowNs();
    bool startPulsed = false, stopPulsed = false;
    while (SecondsSince(sessionStartNs) < options.durationS) {
        std::this_thread::sleep_for(kCheckInterval);
        const double inSession = SecondsSince(sessionStartNs);
        if (options.startPulseAfterS && !startPulsed && inSession >= *options.startPulseAfterS) {
            station.StartPulse();
            startPulsed = true;
        }
        if (options.stopPulseAfterS && !stopPulsed && inSession >= *options.stopPulseAfterS) {
            station.StopPulse();
            stopPulsed = true;
        }
        checker.Drain();
        status.Update(SecondsSince(captureStartNs), session, checker, station.Counters(), station.Simulated());
    }
    if (last) {
        checker.SetDeliveryCutoff(station.Counters().framesDelivered);
        std::this_thread::sleep_for(kSettleBeforeClose);
        checker.Drain();
    }
    statuses.clear();
    for (size_t d = 0; d < devices; ++d) statuses.push_back(host.GetStatus(d));
    for (size_t d = 0; d < devices; ++d) host.SessionClosed(d);
}

void WriteOutputs(const HostOptions& options, const PushChecker& checker, const std::vector<double>& rates,
                  int64_t t0Ns, std::vector<std::string>& failures) {
    std::string error;
    if (!options.csvPath.empty() && !WriteCsv(options.csvPath, checker, error)) failures.push_back(error);
    if (!options.plotPath.empty() && !WritePlot(options.plotPath, checker, rates, t0Ns, error)) failures.push_back(error);
    if (!options.quiet) {
        if (!options.csvPath.empty()) std::cout << "samples written to " << options.csvPath << "\n";
        if (!options.plotPath.empty()) std::cout << "plot written to " << options.plotPath << "\n";
    }
}

}  // namespace

int RunCapture(const HostOptions& options) {
    PluginEnvironment environment;
    const std::string problem = LoadEnvironment(options, environment);
    if (!problem.empty()) {
        std::cerr << "vdd-host: " << problem << "\n";
        return kExitEnvironment;
    }
    const StationObserver& station = environment.station;
    emulator::PluginModule& module = environment.module;
    emulator::TestHost host;
    ConfigureHost(host, options, stderr);

    const int32_t version = host.Handshake(module, kHostApiVersion);
    host.Initialise(module);
    host.ProvideDefinitions(module);
    host.Instantiate(module, "vdd-host");
    const auto definitions = host.Definitions();
    std::vector<std::string> names;
    for (size_t d = 0; d < host.DeviceCount(); ++d) names.push_back(host.Context(d).Name());
    PushChecker checker(station, LayOut(definitions, names, station), !options.csvPath.empty() || !options.plotPath.empty());
    host.Faults().SetPushHook([&checker](const emulator::PushView& push) {
        checker.Enqueue(push);
        return true;
    });
    if (!options.quiet) {
        std::cout << "module " << module.Path() << " (plug-in API version " << version << "), station "
                  << station.Path() << " (" << (station.Simulated() ? "simulated, profile " + environment.profileName
                                                                    : std::string("real: values not checked"))
                  << "): " << definitions.size() << " devices published, " << host.DeviceCount() << " registered\n";
    }
    for (size_t d = 0; d < host.DeviceCount(); ++d) host.AttachContext(d);
    host.SetParameter("", "StartTrigger", options.startTrigger);
    host.SetParameter("", "StopTrigger", options.stopTrigger);
    host.SetParameter("", "TriggerOutputs", options.triggerOutputs);

    LiveStatus status(stdout, options.quiet);
    const int64_t captureStartNs = emulator::MonotonicNowNs();
    std::vector<emulator::DeviceStatus> statuses;
    for (int session = 1; session <= options.sessions; ++session) {
        RunSession(host, options, session, checker, station, status, captureStartNs, session == options.sessions,
                   statuses);
    }
    status.Finish();
    host.Shutdown(module);
    std::this_thread::sleep_for(kAfterShutdownWatch);
    checker.Drain();

    CaptureFacts facts;
    facts.simulated = station.Simulated();
    facts.counters = station.Counters();
    facts.ratesHz = DeviceRates(host, checker);
    facts.statuses = statuses;
    facts.violations = host.Monitor().Violations();
    facts.violationCount = host.Monitor().Count();
    facts.violationsByRule = host.Monitor().CountsByRule();
    facts.errorsIssued = host.Errors().Issued();
    facts.errorsUnreleased = host.Errors().Unreleased();
    facts.definitions = definitions.size();
    for (const auto& registration : host.Registrations()) facts.refusedDevices += registration.accepted ? 0 : 1;
    std::map<std::string, std::set<uint64_t>> callThreadIds;
    for (const emulator::CallRecord& call : host.Log().Snapshot()) {
        // The host's own records of its calls into the plug-in are not the plug-in's calls.
        if (call.operation == "PushSamples" || call.operation.rfind("export:", 0) == 0 ||
            call.operation.rfind("IDevice::", 0) == 0) {
            continue;
        }
        ++facts.callThreads[call.threadName].first;
        callThreadIds[call.threadName].insert(call.thread);
    }
    for (auto& [name, use] : facts.callThreads) use.second = callThreadIds[name].size();

    std::vector<std::string> failures = Summarise(checker, facts, options.quiet, std::cout);
    WriteOutputs(options, checker, facts.ratesHz, captureStartNs, failures);
    if (!options.quiet) {
        for (const emulator::LogLine& line : host.LogLines()) {
            if (line.level >= 3) std::cout << "plug-in error: " << line.text << "\n";
        }
    }
    host.Faults().SetPushHook(nullptr);
    if (!module.Unload()) failures.push_back(module.ErrorText());
    std::cout << Verdict(failures, checker) << std::endl;
    return failures.empty() ? kExitOk : kExitCheckFailed;
}

}  // namespace varnix::vddhost
