#include "emulator/vdd_host/capture/capture_command.h"

#include "emulator/host_operations.h"
#include "emulator/startup_sequence.h"
#include "emulator/test_host.h"
#include "emulator/thread_identity.h"
#include "emulator/vdd_host/capture/capture_summary.h"
#include "emulator/vdd_host/capture/csv_export.h"
#include "emulator/vdd_host/capture/drift_fit.h"
#include "emulator/vdd_host/capture/live_status.h"
#include "emulator/vdd_host/common/capture_interrupt.h"
#include "emulator/vdd_host/common/capture_timing.h"
#include "emulator/vdd_host/common/host_setup.h"
#include "emulator/vdd_host/common/plugin_environment.h"
#include "emulator/vdd_host/plot/svg_plot.h"
#include "emulator/vdd_host/recording/edf_recorder.h"
#include "emulator/vdd_host/recording/pulse_annotations.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
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
// When a session closes, a pass of a frame through the devices may be under
// way: the EDF file waits at most this long for the devices behind to catch
// up with the furthest one.
constexpr auto kEdfCatchUp = 500ms;
constexpr auto kEdfCatchUpPoll = 5ms;

double SecondsSince(int64_t startNs) {
    return static_cast<double>(emulator::MonotonicNowNs() - startNs) * 1e-9;
}

// The files a capture writes while it runs.
struct CaptureOutputs {
    std::unique_ptr<CsvWriter> csv;
    std::unique_ptr<SignalPlot> plot;
    std::unique_ptr<EdfRecorder> edf;
    std::unique_ptr<PulseAnnotations> pulses;  // with edf: the station's pulses, annotated
    RangeOverrides ranges;
    EdfKind edfKind = EdfKind::kBdfPlus;
};

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// [host] Before the module is driven, so a path that cannot be written fails
// at once and not after the capture: creates the CSV and plot files and
// checks the EDF file's folder. "" or the error line.
std::string OpenOutputs(const HostOptions& options, CaptureOutputs& outputs) {
    std::string error;
    for (const std::string& argument : options.ranges) {
        error = ParseRange(argument, outputs.ranges);
        if (!error.empty()) return error;
    }
    if (!options.edfPath.empty()) {
        if (!EdfRecorder::KindOf(options.edfPath, outputs.edfKind)) {
            return "--edf " + options.edfPath + ": name the file .bdf (BDF+) or .edf (EDF+)";
        }
        const std::string folder = FolderOf(options.edfPath);
        if (access(folder.c_str(), W_OK) != 0) {
            return "cannot write EDF file " + options.edfPath + ": folder " + folder +
                   " does not exist or is not writable";
        }
    }
    if (!options.csvPath.empty()) {
        outputs.csv = std::make_unique<CsvWriter>();
        if (!outputs.csv->Open(options.csvPath, error)) return error;
    }
    if (!options.plotPath.empty()) {
        outputs.plot = std::make_unique<SignalPlot>();
        if (!outputs.plot->Open(options.plotPath, error)) return error;
    }
    return "";
}

// What the session loop works with.
struct CaptureRun {
    emulator::TestHost& host;
    const HostOptions& options;
    PushChecker& checker;
    const StationObserver& station;
    LiveStatus& status;
    CaptureOutputs& outputs;
    const CaptureInterrupt& interrupt;
    const std::vector<DeviceLayout>& layouts;
    DriftFit& drift;
    int64_t captureStartNs = 0;
    std::vector<emulator::DeviceStatus> statuses;  // at the end of the latest session
    std::optional<double> stoppedAtS;              // when a signal ended the capture
};

void Pulse(CaptureRun& run, bool start) {
    if (start) {
        run.station.StartPulse();
    } else {
        run.station.StopPulse();
    }
    if (run.outputs.edf && !run.outputs.pulses->Active()) {
        run.outputs.edf->Note(emulator::MonotonicNowNs(), start ? "start pulse" : "stop pulse");
    }
}

// The session has closed: the station's clock as its frames showed it, and
// the EDF file completed once every device caught up (the fit, as an
// annotation at the last frame it took).
void CloseSessionOutputs(CaptureRun& run) {
    const std::optional<DriftResult> drift = run.drift.EndSession();
    if (!run.outputs.edf) return;
    if (drift) {
        for (const std::string& text : DriftAnnotations(*drift))
            run.outputs.edf->Note(drift->lastPushNs, text);
    }
    run.outputs.edf->BeginClosing();
    const int64_t deadlineNs =
        emulator::MonotonicNowNs() + std::chrono::nanoseconds(kEdfCatchUp).count();
    while (!run.outputs.edf->ClosingDone() && emulator::MonotonicNowNs() < deadlineNs) {
        std::this_thread::sleep_for(kEdfCatchUpPoll);
        run.checker.Drain();
    }
    run.outputs.pulses->Forward(*run.outputs.edf);
    run.outputs.edf->EndSession();
}

// Runs one session on every device: declare, open, stream, close. Ends early
// when a signal came.
void RunSession(CaptureRun& run, int session, bool last) {
    emulator::TestHost& host = run.host;
    const HostOptions& options = run.options;
    const size_t devices = host.DeviceCount();
    if (run.outputs.pulses) run.outputs.pulses->BeginSession();
    for (size_t d = 0; d < devices; ++d) host.DeclareSession(d, session);
    const CaptureTiming timing = TimingOf(host, run.layouts);
    if (run.outputs.plot) run.outputs.plot->SetRates(timing.ratesHz);
    if (run.outputs.edf) run.outputs.edf->BeginSession(session, timing);
    run.drift.BeginSession(session, timing.framePeriodS);
    for (size_t d = 0; d < devices; ++d) {
        if (run.outputs.edf) run.outputs.edf->NoteOpening(d, emulator::MonotonicNowNs());
        host.SessionOpened(d);
        run.checker.NoteIndexReset(d);
    }
    const int64_t sessionStartNs = emulator::MonotonicNowNs();
    bool startPulsed = false, stopPulsed = false;
    while (SecondsSince(sessionStartNs) < options.durationS && !run.interrupt.Requested()) {
        std::this_thread::sleep_for(kCheckInterval);
        const double inSession = SecondsSince(sessionStartNs);
        if (options.startPulseAfterS && !startPulsed && inSession >= *options.startPulseAfterS) {
            Pulse(run, true);
            startPulsed = true;
        }
        if (options.stopPulseAfterS && !stopPulsed && inSession >= *options.stopPulseAfterS) {
            Pulse(run, false);
            stopPulsed = true;
        }
        if (run.outputs.pulses) run.outputs.pulses->Forward(*run.outputs.edf);
        run.checker.Drain();
        run.status.Update(SecondsSince(run.captureStartNs), session, run.checker,
                          run.station.Counters(), run.station.Simulated());
    }
    if (run.interrupt.Requested()) {
        run.stoppedAtS = SecondsSince(run.captureStartNs);
        if (run.outputs.edf) {
            run.outputs.edf->Note(
                emulator::MonotonicNowNs(),
                std::string("capture stopped early (") + run.interrupt.SignalName() + ")");
        }
    }
    if (last || run.stoppedAtS) {
        run.checker.SetDeliveryCutoff(run.station.Counters().framesDelivered);
        std::this_thread::sleep_for(kSettleBeforeClose);
        run.checker.Drain();
    }
    run.statuses.clear();
    for (size_t d = 0; d < devices; ++d) run.statuses.push_back(host.GetStatus(d));
    for (size_t d = 0; d < devices; ++d) host.SessionClosed(d);
    run.checker.Drain();
    CloseSessionOutputs(run);
}

// "stopped early at 12.3 s of 30 s", or "" when the capture ran its time.
std::string StopNote(const CaptureRun& run) {
    if (!run.stoppedAtS) return "";
    char note[128];
    std::snprintf(note, sizeof note, "stopped early at %.1f s of %g s", *run.stoppedAtS,
                  run.options.durationS * run.options.sessions);
    return note;
}

void FinishOutputs(const HostOptions& options, CaptureOutputs& outputs,
                   std::vector<std::string>& failures) {
    std::string error;
    if (outputs.csv && !outputs.csv->Close(error)) failures.push_back(error);
    if (outputs.plot && !outputs.plot->Write(error)) failures.push_back(error);
    if (options.quiet) return;
    if (outputs.csv) std::cout << "samples written to " << options.csvPath << "\n";
    if (outputs.plot) std::cout << "plot written to " << options.plotPath << "\n";
}

CaptureFacts GatherFacts(emulator::TestHost& host, const CaptureRun& run, size_t definitions) {
    CaptureFacts facts;
    facts.simulated = run.station.Simulated();
    facts.counters = run.station.Counters();
    facts.ratesHz = TimingOf(host, run.layouts).ratesHz;
    facts.statuses = run.statuses;
    facts.violations = host.Monitor().Violations();
    facts.violationCount = host.Monitor().Count();
    facts.violationsByRule = host.Monitor().CountsByRule();
    facts.errorsIssued = host.Errors().Issued();
    facts.errorsUnreleased = host.Errors().Unreleased();
    facts.definitions = definitions;
    for (const auto& registration : host.Registrations())
        facts.refusedDevices += registration.accepted ? 0 : 1;
    std::map<std::string, std::set<uint64_t>> callThreadIds;
    for (const emulator::CallTally& tally : host.Log().Tallies()) {
        // The host's own records of its calls into the plug-in are not the plug-in's calls.
        if (tally.operation == emulator::op::kPushSamples ||
            tally.operation.rfind("export:", 0) == 0 ||
            tally.operation.rfind("IDevice::", 0) == 0) {
            continue;
        }
        facts.callThreads[tally.threadName].first += tally.calls;
        callThreadIds[tally.threadName].insert(tally.thread);
    }
    for (auto& [name, use] : facts.callThreads) use.second = callThreadIds[name].size();
    return facts;
}

std::vector<std::string> RegisteredNames(const emulator::TestHost& host) {
    std::vector<std::string> names;
    for (size_t d = 0; d < host.DeviceCount(); ++d) names.push_back(host.Context(d).Name());
    return names;
}

// [host] Hands every checked push to the files the capture writes.
void ConnectOutputs(const HostOptions& options, CaptureOutputs& outputs, PushChecker& checker,
                    const std::vector<DeviceLayout>& layouts, const StationObserver& station,
                    int64_t captureStartNs) {
    if (outputs.csv) {
        outputs.csv->SetLayouts(layouts);
        checker.AddSink(*outputs.csv);
    }
    if (outputs.plot) {
        outputs.plot->SetLayouts(layouts, captureStartNs);
        checker.AddSink(*outputs.plot);
    }
    if (!options.edfPath.empty()) {
        outputs.edf = std::make_unique<EdfRecorder>(options.edfPath, outputs.edfKind,
                                                    outputs.ranges, options.sessions, layouts);
        checker.AddSink(*outputs.edf);
        outputs.pulses = std::make_unique<PulseAnnotations>(station);
    }
}

void PrintStart(const PluginEnvironment& environment, int32_t version, size_t definitions,
                size_t registered) {
    const StationObserver& station = environment.station;
    std::cout << "module " << environment.module.Path() << " (plug-in API version " << version
              << "), station " << station.Path() << " ("
              << (station.Simulated() ? "simulated, profile " + environment.profileName
                                      : std::string("real: values not checked"))
              << "): " << definitions << " devices published, " << registered << " registered\n";
}

void SetTriggers(emulator::TestHost& host, const HostOptions& options) {
    host.SetParameter("", "StartTrigger", options.startTrigger);
    host.SetParameter("", "StopTrigger", options.stopTrigger);
    host.SetParameter("", "TriggerOutputs", options.triggerOutputs);
}

// [host] The plug-in's own level-3 lines, after the summary, and how many
// lines of its log were let go.
void PrintPluginErrors(const emulator::TestHost& host) {
    for (const emulator::LogLine& line : host.LogLines()) {
        if (line.level >= 3) std::cout << "plug-in error: " << line.text << "\n";
    }
    const uint64_t dropped = host.LogLinesDropped();
    if (dropped > 0) {
        std::cout << "plug-in log: " << dropped << " earlier lines not kept (the last "
                  << kLogLineWindow << " of each level are)\n";
    }
}

// [host] After Shutdown: the summary, the files completed, the verdict; the
// process exit code.
int Conclude(emulator::TestHost& host, emulator::PluginModule& module, CaptureRun& run,
             size_t definitions) {
    const HostOptions& options = run.options;
    const CaptureFacts facts = GatherFacts(host, run, definitions);
    const std::string note = StopNote(run);
    if (!options.quiet && !note.empty()) {
        std::cout << "\ncapture " << note << " (" << run.interrupt.SignalName()
                  << "): the session was closed, "
                  << "the plug-in shut down and every file completed\n";
    }
    std::vector<std::string> failures = Summarise(run.checker, facts, options.quiet, std::cout);
    SummariseDrift(run.drift.Results(), options.quiet, std::cout, std::cerr);
    if (run.outputs.edf) {
        const std::vector<std::string> edfFailures =
            SummariseEdf(run.outputs.edf->Reports(), options.quiet, std::cout);
        failures.insert(failures.end(), edfFailures.begin(), edfFailures.end());
    }
    FinishOutputs(options, run.outputs, failures);
    if (!options.quiet) PrintPluginErrors(host);
    host.Faults().SetPushHook(nullptr);
    if (!module.Unload()) failures.push_back(module.ErrorText());
    std::cout << Verdict(failures, run.checker, note) << std::endl;
    if (run.interrupt.Requested()) return run.interrupt.ExitCode();
    return failures.empty() ? kExitOk : kExitCheckFailed;
}

// [host] The module and the station loaded, the output files opened: the
// exit code of what failed, or kExitOk.
int Prepare(const HostOptions& options, PluginEnvironment& environment, CaptureOutputs& outputs) {
    const std::string problem = LoadEnvironment(options, environment);
    if (!problem.empty()) {
        std::cerr << "vdd-host: " << problem << "\n";
        return kExitEnvironment;
    }
    const std::string outputProblem = OpenOutputs(options, outputs);
    if (!outputProblem.empty()) {
        std::cerr << "vdd-host: " << outputProblem << "\n";
        return kExitUsage;
    }
    return kExitOk;
}

}  // namespace

int RunCapture(const HostOptions& options) {
    const CaptureInterrupt interrupt;
    PluginEnvironment environment;
    CaptureOutputs outputs;
    const int prepared = Prepare(options, environment, outputs);
    if (prepared != kExitOk) return prepared;
    const StationObserver& station = environment.station;
    emulator::PluginModule& module = environment.module;
    emulator::TestHost host;
    ConfigureHost(host, options, stderr);
    emulator::StartupSequence startup(host, module, {kHostApiVersion});
    startup.RunThrough(emulator::StartupStep::kInstantiation);
    const auto definitions = host.Definitions();
    const std::vector<DeviceLayout> layouts = LayOut(definitions, RegisteredNames(host), station);
    PushChecker checker(station, layouts);
    DriftFit drift;
    checker.AddSink(drift);
    const int64_t captureStartNs = emulator::MonotonicNowNs();
    ConnectOutputs(options, outputs, checker, layouts, station, captureStartNs);
    host.Faults().SetPushHook([&checker](const emulator::PushView& push) {
        checker.Enqueue(push);
        return true;
    });
    if (!options.quiet)
        PrintStart(environment, startup.PluginVersion(), definitions.size(), host.DeviceCount());
    startup.RunThrough(emulator::StartupStep::kAttach);
    SetTriggers(host, options);

    LiveStatus status(stdout, options.quiet);
    CaptureRun run{host,      options, checker, station,        status, outputs,
                   interrupt, layouts, drift,   captureStartNs, {},     {}};
    for (int session = 1; session <= options.sessions && !run.stoppedAtS; ++session) {
        RunSession(run, session, session == options.sessions);
    }
    status.Finish();
    host.Shutdown(module);
    std::this_thread::sleep_for(kAfterShutdownWatch);
    checker.Drain();
    return Conclude(host, module, run, definitions.size());
}

}  // namespace varnix::vddhost
