// The cycle's last steps: streaming, Shutdown while pushes flow, the checks
// of every push, and the unload.
#include "tests/windows/bridge_imports.h"
#include "tests/windows/cycle.h"
#include "tests/windows/expected_definitions.h"
#include "tests/windows/module_steps.h"
#include "tests/windows/push_check.h"
#include "tests/windows/report.h"
#include "tests/windows/run_guard.h"

namespace {

// How long every device may take to receive the frames delivered so far.
constexpr uint64_t kCatchUpLimitMs = 3000;
// A push this recent means pushes are flowing (a frame comes every 13.5 ms;
// the margin is for a loaded machine).
constexpr uint64_t kFlowingWithinMs = 500;
// How long after Shutdown the host watches for pushes and polls.
constexpr win::DWORD kQuietAfterShutdownMs = 300;

}  // namespace

Cycle::Cycle(PluginModule& module, const CycleSettings& settings)
    : module_(module), settings_(settings) {}

void Cycle::Run() {
    Text scope("cycle ");
    scope.Int(settings_.number).Add(": ");
    report::SetScope(scope.c_str());
    guard::WatchModule(module_.Handle());
    SetBridgeModule(module_.Handle());
    recorder_.SetHostThread(win::GetCurrentThreadId());
    report::Ok("the module loads and exports the seven entry points");
    CheckHandshake(module_, services_);
    PublishDefinitions();
    AttachStation();
    CallBridge();
    Instantiate();
    if (acceptedCount_ > 0) {
        AttachContexts();
        DeclareSessions();
        Stream();
    }
    ShutdownWhileStreaming();
    if (acceptedCount_ > 0 && stationAttached_) CheckPushesOfSession();
    CheckUnload(module_);
    CheckHousekeeping();
    report::SetScope("");
}

void Cycle::Stream() {
    guard::Step("streaming");
    win::Sleep(settings_.streamMs);
    // Pushes trail the station by a frame or so: let every device take the
    // frames delivered up to now, then shut down while the next ones flow.
    deliveredBeforeShutdown_ = Delivered();
    const size_t due = static_cast<size_t>(deliveredBeforeShutdown_ - firstDelivery_);
    const uint64_t deadline = win::GetTickCount64() + kCatchUpLimitMs;
    for (size_t a = 0; a < acceptedCount_; ++a) {
        while (recorder_.Count(accepted_[a].sensor) < due && win::GetTickCount64() < deadline) {
            win::Sleep(2);
        }
    }
}

void Cycle::ShutdownWhileStreaming() {
    guard::Step("Shutdown");
    const uint64_t called = win::GetTickCount64();
    const uint64_t lastPush = recorder_.LastPushTick();
    module_.Shutdown();
    const uint64_t returned = win::GetTickCount64();
    recorder_.MarkShutdownReturned();
    guard::Step("after Shutdown");
    const uint64_t pollsThen = stationAttached_ ? station_.Counters().polls : 0;
    win::Sleep(kQuietAfterShutdownMs);
    const uint64_t pollsLater = stationAttached_ ? station_.Counters().polls : 0;
    if (acceptedCount_ > 0) {
        Text what("Shutdown returns while pushes flow (returned in ");
        what.Unsigned(returned - called).Add(" ms)");
        Text detail("the last push came ");
        detail.Unsigned(called - lastPush).Add(" ms before Shutdown was called");
        report::Check(lastPush != 0 && called - lastPush <= kFlowingWithinMs, what, detail);
    } else {
        report::Ok("Shutdown returns");
    }
    Text pushes;
    pushes.Unsigned(recorder_.AfterShutdown()).Add(" pushes began after it returned");
    report::Check(recorder_.AfterShutdown() == 0, "no push begins after Shutdown returned",
                  pushes.c_str());
    if (!stationAttached_) return;
    Text polls;
    polls.Unsigned(pollsLater - pollsThen).Add(" polls in the ").Unsigned(kQuietAfterShutdownMs);
    polls.Add(" ms after it returned");
    report::Check(pollsLater == pollsThen, "no poll reaches the station after Shutdown returned",
                  polls.c_str());
    CheckStationStopped();
}

void Cycle::CheckStationStopped() {
    // After the session start's "start": at least one "stop", then "close" last.
    size_t start = 0;
    bool stopped = false;
    const char* last = "";
    VarnixSimCall call{};
    Text tail;
    for (size_t i = callsBeforeSession_; i < station_.CallCount(); ++i) {
        if (!station_.Call(i, call)) continue;
        if (SameText(call.function, "start")) {
            start = i + 1;
            stopped = false;
        }
        if (i >= start && SameText(call.function, "stop")) stopped = true;
    }
    if (station_.CallCount() > 0 && station_.Call(station_.CallCount() - 1, call)) {
        tail.Add(call.function);
        last = tail.c_str();
    }
    Text detail("stop after the start: ");
    detail.Add(stopped ? "yes" : "no").Add(", last call: ").Add(last);
    report::Check(stopped && SameText(last, "close"),
                  "Shutdown stops the station, then closes it (its last call)", detail.c_str());
}

void Cycle::CheckPushesOfSession() {
    guard::Step("checking the pushes");
    CheckedDevice devices[kMaxDevices] = {};
    for (size_t a = 0; a < acceptedCount_; ++a) {
        devices[a].sensor = accepted_[a].sensor;
        devices[a].sessionId = SessionId(accepted_[a].sensor);
        devices[a].channelCount = expected::kOutputCount;
    }
    SessionWindow window{};
    window.firstDelivery = firstDelivery_;
    window.deliveredBefore = deliveredBeforeShutdown_;
    window.restartAllowed = deliveredAtOpen_ > firstDelivery_;
    CheckPushes(recorder_, station_, devices, acceptedCount_, window);
    unsigned handedOut = 0;
    bool releasedOnce = true;
    for (size_t a = 0; a < acceptedCount_; ++a) {
        const HostError& refusals = contexts_[accepted_[a].sensor].PushRefusals();
        handedOut += refusals.HandedOut();
        releasedOnce &= refusals.ReleasedOnceEach();
    }
    Text what("every refused push's error was released once (");
    what.Unsigned(handedOut).Add(" refused, one push in ");
    what.Unsigned(DeviceContext::kRefuseEveryNthPush).Add(")");
    report::Check(releasedOnce && handedOut > 0, what,
                  Text("a device's releases differ from its refusals"));
}

void Cycle::CheckHousekeeping() {
    guard::Step("final checks");
    unsigned unused = builder_.UnusedCalls() + builder_.Refusals().UnusedCalls() +
                      registrar_.Refusal().UnusedCalls();
    for (size_t a = 0; a < acceptedCount_; ++a) {
        const DeviceContext& context = contexts_[accepted_[a].sensor];
        unused += context.UnusedCalls() + context.PushRefusals().UnusedCalls();
    }
    Text calls;
    calls.Unsigned(unused).Add(" calls");
    report::Check(unused == 0, "no call reaches an unused slot (builder 5, context 1, error 1)",
                  calls.c_str());
    Text others;
    const unsigned count = services_.Others(3, expected::kRefusedLogPrefix, others);
    report::Check(count == 0, "no level-3 log line besides the refusal", others.c_str());
}
