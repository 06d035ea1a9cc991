#include "emulator/vdd_host/validate/round_cycle.h"

#include "emulator/host_operations.h"
#include "emulator/thread_identity.h"
#include "emulator/vdd_host/common/device_layout.h"
#include "emulator/vdd_host/common/host_setup.h"
#include "emulator/vdd_host/validate/round_verdict.h"
#include "emulator/vdd_host/validate/station_profile_text.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <exception>
#include <thread>

namespace varnix::vddhost {

namespace {

using namespace std::chrono_literals;

// How often the host checks the pushes that came while a session streams.
constexpr int kDrainEveryMs = 20;
// After Shutdown the host keeps listening this long for calls that should no
// longer come.
constexpr auto kAfterShutdownWatch = 100ms;
// How long the host waits for the trapped push of a Shutdown in a pass.
constexpr int kTrapWaitMs = 1000;
// Names listed in one step line at most.
constexpr size_t kNamesShown = 6;

std::string Count(size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

int64_t MsSince(int64_t startNs) {
    return (emulator::MonotonicNowNs() - startNs) / 1'000'000;
}

std::string NameList(const std::vector<std::string>& names) {
    std::string list;
    for (size_t i = 0; i < names.size() && i < kNamesShown; ++i)
        list += (i ? ", '" : "'") + names[i] + "'";
    if (names.size() > kNamesShown)
        list += " and " + std::to_string(names.size() - kNamesShown) + " more";
    return list;
}

std::string JoinOperations(const std::vector<std::string>& operations) {
    std::string list;
    for (const std::string& operation : operations) {
        list += (list.empty() ? "" : ", ") +
                (operation == "*" ? std::string("every operation") : operation);
    }
    return list;
}

// The definitions in station order: per sensor the one published last under
// its name, or, for a sensor whose definition the host refused, a stand-in
// with the station's stream count, so that the slices of the devices after it
// are still placed.
std::vector<emulator::DeviceDefinition> DefinitionsInStationOrder(
    const std::vector<emulator::DeviceDefinition>& published,
    const std::vector<std::string>& sensorNames, const StationObserver& station) {
    std::vector<emulator::DeviceDefinition> ordered;
    for (size_t k = 0; k < sensorNames.size(); ++k) {
        auto found = std::find_if(
            published.rbegin(), published.rend(),
            [&](const emulator::DeviceDefinition& d) { return d.name == sensorNames[k]; });
        if (found != published.rend()) {
            ordered.push_back(*found);
            continue;
        }
        emulator::DeviceDefinition standIn;
        standIn.name = sensorNames[k];
        standIn.outputs.push_back(emulator::OutputDefinition{
            "", 0,
            std::vector<std::string>(static_cast<size_t>(std::max(station.StreamCount(k), 0)))});
        ordered.push_back(std::move(standIn));
    }
    return ordered;
}

}  // namespace

CycleRun::CycleRun(const CycleDraw& draw, const HostOptions& options,
                   PluginEnvironment& environment, const ProcessFootprint& baseline,
                   RoundJournal& journal, std::string label)
    : draw_(draw),
      options_(options),
      environment_(environment),
      baseline_(baseline),
      journal_(journal),
      label_(std::move(label)),
      sensorNames_(SensorNames(draw.station)) {}

CycleRun::~CycleRun() {
    host_.Faults().SetPushHook(nullptr);
}

void CycleRun::Guard(const std::string& what, const std::function<void()>& call) {
    try {
        call();
    } catch (const std::exception& error) {
        Fail("an exception escaped " + what + " into the host: " + error.what());
    } catch (...) {
        Fail("an exception escaped " + what + " into the host");
    }
}

void CycleRun::Step(const std::string& text) {
    journal_.Step(label_ + ": " + text);
}

size_t CycleRun::Devices() const {
    return checker_ ? checker_->DeviceCount() : 0;
}

size_t CycleRun::DeviceIndex(int drawn) const {
    return static_cast<size_t>(std::max(drawn, 0)) % std::max<size_t>(Devices(), 1);
}

std::string CycleRun::DeviceName(int drawn) const {
    return drawn < 0 ? std::string("every device")
                     : "'" + host_.Context(DeviceIndex(drawn)).Name() + "'";
}

CycleTotals CycleRun::Totals() const {
    CycleTotals totals;
    totals.devices = Devices();
    for (size_t d = 0; d < Devices(); ++d) {
        totals.pushes += checker_->Tally(d).pushes;
        totals.devicesWithValuesChecked += checker_->Tally(d).firstDelivery ? 1 : 0;
    }
    return totals;
}

std::vector<std::string> CycleRun::Run() {
    SetUpHost();
    if (BringUp()) {
        size_t session = 0;
        while (session < draw_.sessions.size() && !RunSession(session)) ++session;
    }
    if (!shutDown_) ShutDown(ShutdownMomentName(draw_.shutdown));
    return failures_;
}

void CycleRun::SetUpHost() {
    ConfigureHost(host_, options_, stderr);
    auto& settings = host_.Settings();
    settings.fill = draw_.parameterBySetValue ? emulator::ParameterFill::kSetValue
                                              : emulator::ParameterFill::kAssignBytes;
    settings.requestUpdateAnswer = draw_.requestUpdateAnswer;
    auto& faults = host_.Faults();
    for (const std::string& operation : draw_.failingOperations) faults.Fail(operation);
    std::vector<std::string> refusedDefinitions, refusedDevices;
    for (int k : draw_.refusedDefinitions) {
        // A host does not register a device it holds no definition for.
        faults.Fail(emulator::op::kDefineDevice, sensorNames_[k]);
        faults.Fail(emulator::op::kRegisterDevice, sensorNames_[k]);
        refusedDefinitions.push_back(sensorNames_[k]);
    }
    for (int k : draw_.refusedDevices) {
        faults.Fail(emulator::op::kRegisterDevice, sensorNames_[k]);
        refusedDevices.push_back(sensorNames_[k]);
    }
    if (!draw_.failingOperations.empty()) {
        Step("the host fails every call of " + JoinOperations(draw_.failingOperations));
    }
    if (!refusedDefinitions.empty())
        Step("the host refuses the definitions of " + NameList(refusedDefinitions));
    if (!refusedDevices.empty()) Step("the host refuses to register " + NameList(refusedDevices));
}

bool CycleRun::BringUp() {
    emulator::StartupSequence startup(
        host_, environment_.module,
        {draw_.hostVersion, draw_.definitionRequests, "vdd-host validate"}, this);
    if (!startup.RunThrough(emulator::StartupStep::kInstantiation)) return false;
    StartChecking();
    startup.RunThrough(emulator::StartupStep::kAttach);
    host_.SetParameter("", "StartTrigger", draw_.startTrigger);
    host_.SetParameter("", "StopTrigger", draw_.stopTrigger);
    host_.SetParameter("", "TriggerOutputs", draw_.triggerOutputs);
    return draw_.shutdown != ShutdownMoment::kBeforeSessions;
}

bool CycleRun::Before(const emulator::StartupSequence& startup, emulator::StartupStep step,
                      int repeat) {
    using emulator::StartupStep;
    switch (step) {
        case StartupStep::kHandshake:
            Step("HostAPIVersion(" + std::to_string(draw_.hostVersion) + "), PluginAPIVersion");
            break;
        case StartupStep::kInitialise:
            CheckVersion(startup.PluginVersion());
            Step("PluginAPIVersion answered " + std::to_string(startup.PluginVersion()) +
                 "; Initialise (parameters filled by " +
                 std::string(draw_.parameterBySetValue ? "SetValue" : "their 8-byte form") + ")");
            break;
        case StartupStep::kDefinitions:
            if (draw_.shutdown == ShutdownMoment::kBeforeDefinitions) return false;
            Step("ProvideDeviceDefinitions (" + std::to_string(repeat) + " of " +
                 std::to_string(draw_.definitionRequests) + ")");
            break;
        case StartupStep::kInstantiation:
            Step("BeginDeviceInstantiation, OnManualDeviceInstantiation");
            break;
        case StartupStep::kAttach:
            Step(Count(Devices(), "device", "devices") +
                 " registered; AttachContext on each; StartTrigger " +
                 (draw_.startTrigger ? "on" : "off") + ", StopTrigger " +
                 (draw_.stopTrigger ? "on" : "off") + ", TriggerOutputs " +
                 (draw_.triggerOutputs ? "on" : "off") +
                 (draw_.requestUpdateAnswer ? "" : "; RequestUpdate answers false"));
            break;
        case StartupStep::kDeclare:
            break;
    }
    return true;
}

void CycleRun::Call(const char* what, const std::function<void()>& call) {
    Guard(what, call);
}

void CycleRun::CheckVersion(int32_t answer) {
    if (answer != 1 && answer != 2) {
        Fail("PluginAPIVersion answered " + std::to_string(answer) + " to host version " +
             std::to_string(draw_.hostVersion) + " (expected 1 or 2)");
    }
}

void CycleRun::StartChecking() {
    const StationObserver& station = environment_.station;
    std::vector<std::string> registered;
    for (size_t d = 0; d < host_.DeviceCount(); ++d) registered.push_back(host_.Context(d).Name());
    checker_ = std::make_unique<PushChecker>(
        station, LayOut(DefinitionsInStationOrder(host_.Definitions(), sensorNames_, station),
                        registered, station));
    host_.Faults().SetPushHook([this](const emulator::PushView& push) {
        checker_->Enqueue(push);
        trap_.Hold(push.device);
        return true;
    });
}

bool CycleRun::RunSession(size_t index) {
    const SessionDraw& session = draw_.sessions[index];
    const std::string name = "session " + std::to_string(session.sessionId);
    Step(name + ": DeclareSession on " + Count(Devices(), "device", "devices"));
    for (size_t d = 0; d < Devices(); ++d) {
        Guard("IDevice::DeclareSession", [&] { host_.DeclareSession(d, session.sessionId); });
    }
    size_t noEvent = 0;
    if (session.openAfterMs > 0) {
        Step(name + ": " + std::to_string(session.openAfterMs) + " ms before SessionOpened");
        Stream(emulator::MonotonicNowNs(), session.openAfterMs, {}, noEvent);
    }
    Step(name + ": SessionOpened on every device, then stream " +
         std::to_string(session.durationMs) + " ms");
    for (size_t d = 0; d < Devices(); ++d) {
        Guard("IDevice::SessionOpened", [&] { host_.SessionOpened(d); });
        checker_->NoteIndexReset(d);
    }
    const int64_t openedNs = emulator::MonotonicNowNs();
    const bool last = index + 1 == draw_.sessions.size();
    const bool shutdownInside = last && (draw_.shutdown == ShutdownMoment::kInSession ||
                                         draw_.shutdown == ShutdownMoment::kInPass ||
                                         draw_.shutdown == ShutdownMoment::kWhilePushHeld);
    size_t next = 0;
    Stream(openedNs, shutdownInside ? draw_.shutdownAtMs : session.durationMs, session.events,
           next);
    if (shutdownInside) {
        ShutDownAt(session);
        return true;
    }
    Step(name + ": SessionClosed on every device");
    for (size_t d = 0; d < Devices(); ++d)
        Guard("IDevice::SessionClosed", [&] { host_.SessionClosed(d); });
    return false;
}

void CycleRun::Stream(int64_t startNs, int untilMs, const std::vector<SessionEvent>& events,
                      size_t& next) {
    for (;;) {
        const int64_t elapsed = MsSince(startNs);
        while (next < events.size() && events[next].atMs <= elapsed &&
               events[next].atMs < untilMs) {
            Apply(events[next++]);
        }
        if (elapsed >= untilMs) return;
        int64_t wait = std::min<int64_t>(kDrainEveryMs, untilMs - elapsed);
        if (next < events.size())
            wait = std::min<int64_t>(wait, std::max<int64_t>(events[next].atMs - elapsed, 0));
        std::this_thread::sleep_for(std::chrono::milliseconds(wait));
        checker_->Drain();
    }
}

void CycleRun::Apply(const SessionEvent& event) {
    const std::string at = "at " + std::to_string(event.atMs) + " ms: ";
    const bool needsDevice = event.kind == SessionEventKind::kHoldOneDevice ||
                             event.kind == SessionEventKind::kRedeclare ||
                             event.kind == SessionEventKind::kRefreshEntries ||
                             (event.kind == SessionEventKind::kFailPushes && event.device >= 0);
    if (needsDevice && Devices() == 0) {
        Step(at + SessionEventName(event.kind) + ": no device registered");
        return;
    }
    const size_t d = DeviceIndex(event.device);
    switch (event.kind) {
        case SessionEventKind::kHoldOneDevice:
        case SessionEventKind::kSlowEveryDevice:
        case SessionEventKind::kReleaseHolds:
        case SessionEventKind::kFailPushes:
            ApplyHostFault(at, event, d);
            break;
        case SessionEventKind::kRedeclare:
            Redeclare(at + "DeclareSession(%ID%) again on " + DeviceName(event.device), d);
            break;
        case SessionEventKind::kSoftwareStart:
            Step(at + "SoftwareStartTrigger on every device");
            for (size_t k = 0; k < Devices(); ++k) {
                Guard("IDevice::SoftwareStartTrigger", [&] { host_.SoftwareStartTrigger(k); });
                checker_->NoteIndexReset(k);
            }
            break;
        case SessionEventKind::kRefreshEntries:
            RefreshWithChange(at, event.device);
            break;
        case SessionEventKind::kProvideAgain:
            Step(at + "ProvideDeviceDefinitions again while streaming");
            Guard("ProvideDeviceDefinitions",
                  [&] { host_.ProvideDefinitions(environment_.module); });
            break;
        case SessionEventKind::kStartPulse:
            Step(at + "a pulse on the station's start input");
            environment_.station.StartPulse();
            break;
        case SessionEventKind::kStopPulse:
            Step(at + "a pulse on the station's stop input");
            environment_.station.StopPulse();
            break;
        case SessionEventKind::kStatus:
            Step(at + "GetStatus on every device");
            for (size_t k = 0; k < Devices(); ++k)
                Guard("IDevice::GetStatus", [&] { host_.GetStatus(k); });
            break;
    }
}

void CycleRun::ApplyHostFault(const std::string& at, const SessionEvent& event, size_t d) {
    auto& faults = host_.Faults();
    switch (event.kind) {
        case SessionEventKind::kHoldOneDevice:
            Step(at + "the host holds every push of " + DeviceName(event.device) + " " +
                 std::to_string(event.ms) + " ms");
            faults.HoldPushes(event.ms, host_.Context(d).Name());
            break;
        case SessionEventKind::kSlowEveryDevice:
            Step(at + "the host holds every push " + std::to_string(event.ms) + " ms");
            faults.HoldPushes(event.ms);
            break;
        case SessionEventKind::kReleaseHolds:
            Step(at + "the host returns every push at once again");
            faults.HoldPushes(0);
            for (size_t k = 0; k < Devices(); ++k) faults.HoldPushes(0, host_.Context(k).Name());
            break;
        case SessionEventKind::kFailPushes:
            Step(at + "PushSamples of " + DeviceName(event.device) + " fails from now on");
            faults.Fail(emulator::op::kPushSamples, event.device < 0
                                                        ? emulator::FaultSwitches::kEveryDevice
                                                        : host_.Context(d).Name());
            break;
        default:
            break;
    }
}

void CycleRun::Redeclare(const std::string& step, size_t d) {
    const int32_t id = 100000 + ++redeclareIds_;
    std::string text = step;
    text.replace(text.find("%ID%"), 4, std::to_string(id));
    Step(text);
    Guard("IDevice::DeclareSession", [&] { host_.DeclareSession(d, id); });
}

void CycleRun::RefreshWithChange(const std::string& at, int drawn) {
    const size_t d = DeviceIndex(drawn);
    Step(at + "RefreshEntries on " + DeviceName(drawn) + " with a change and no first entry");
    host_.Settings().fillEntriesFlag = 1;
    Guard("IDevice::RefreshEntries", [&] { host_.RefreshEntries(d); });
    host_.Settings().fillEntriesFlag = 0;
    emulator::DeviceStatus status;
    Guard("IDevice::GetStatus", [&] { status = host_.GetStatus(d); });
    if (status.redeclareRequested) {
        Redeclare(at + "the device asks for a new declaration: DeclareSession(%ID%)", d);
    }
}

void CycleRun::ShutDownAt(const SessionDraw& session) {
    const std::string at = "at " + std::to_string(draw_.shutdownAtMs) + " ms of session " +
                           std::to_string(session.sessionId) + ": ";
    if (draw_.shutdown == ShutdownMoment::kInPass && Devices() > 0) {
        // Not the first device: the pass then waits with some devices served.
        const size_t d =
            Devices() > 1 ? 1 + static_cast<size_t>(draw_.heldDevice) % (Devices() - 1) : 0;
        Step(at + "the host holds the next push of '" + host_.Context(d).Name() + "' " +
             std::to_string(draw_.heldMs) + " ms");
        trap_.Arm(d, draw_.heldMs);
        const int64_t startNs = emulator::MonotonicNowNs();
        while (!trap_.Sprung() && MsSince(startNs) < kTrapWaitMs) {
            std::this_thread::sleep_for(1ms);
        }
        if (!trap_.Sprung()) Step("no push of '" + host_.Context(d).Name() + "' came within 1 s");
        // Long enough for the next frame's pass to reach the held device.
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(draw_.heldMs / 2, 20)));
        ShutDown("while that push is held, in the middle of a pass");
        return;
    }
    if (draw_.shutdown == ShutdownMoment::kWhilePushHeld && Devices() > 0) {
        Step(at + "the host holds every push of " + DeviceName(draw_.heldDevice) + " " +
             std::to_string(draw_.heldMs) + " ms");
        host_.Faults().HoldPushes(draw_.heldMs,
                                  draw_.heldDevice < 0
                                      ? emulator::FaultSwitches::kEveryDevice
                                      : host_.Context(DeviceIndex(draw_.heldDevice)).Name());
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(draw_.heldMs / 2, 30)));
        ShutDown("while the host holds pushes");
        return;
    }
    ShutDown(at + "while it streams");
}

void CycleRun::ShutDown(const std::string& moment) {
    shutDown_ = true;
    if (checker_) {
        checker_->Drain();
        // Every frame polled before Shutdown began must reach every device.
        checker_->SetDeliveryCutoff(environment_.station.Counters().framesDelivered);
    }
    Step("Shutdown " + moment);
    const int64_t startNs = emulator::MonotonicNowNs();
    Guard("Shutdown", [&] { host_.Shutdown(environment_.module); });
    const int64_t tookMs = MsSince(startNs);
    for (const std::string& thread : NewThreads(baseline_, TakeFootprint(options_.modulePath))) {
        Fail(thread + " after Shutdown returned");
    }
    if (draw_.shutdownTwice) {
        Step("Shutdown returned after " + std::to_string(tookMs) + " ms; Shutdown again");
        Guard("Shutdown (the second)", [&] { host_.Shutdown(environment_.module); });
    }
    Step("Shutdown returned after " + std::to_string(tookMs) + " ms; the host listens " +
         std::to_string(std::chrono::milliseconds(kAfterShutdownWatch).count()) + " ms for calls");
    std::this_thread::sleep_for(kAfterShutdownWatch);
    Check();
}

void CycleRun::Check() {
    for (std::string& line : ContractFailures(host_)) Fail(std::move(line));
    if (!checker_) return;
    checker_->Drain();
    for (std::string& line : DeliveryFailures(*checker_)) Fail(std::move(line));
}

}  // namespace varnix::vddhost
