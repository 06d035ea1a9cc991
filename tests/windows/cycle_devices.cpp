// The cycle's device steps: instantiation with one refusal, the contexts,
// and the session declaration with the session start it sets off.
#include "tests/windows/cycle.h"
#include "tests/windows/expected_definitions.h"
#include "tests/windows/report.h"
#include "tests/windows/run_guard.h"

namespace {

constexpr const char kHostText[] = "host text";
// How long the session start (on the module's acquisition thread) may take
// to show after the declarations.
constexpr uint64_t kSessionStartLimitMs = 5000;

Text SensorName(size_t sensor) {
    Text name(expected::kSensorNamePrefix);
    return name.Unsigned(sensor + 1);
}

}  // namespace

void Cycle::Instantiate() {
    guard::Step("BeginDeviceInstantiation, OnManualDeviceInstantiation");
    registrar_.RefuseRegistration(settings_.refusedSensor);
    module_.BeginDeviceInstantiation(&registrar_);
    module_.OnManualDeviceInstantiation(reinterpret_cast<void*>(kHostArg1), kHostText,
                                        reinterpret_cast<void*>(kHostArg3));
    CallJournal expectedCalls;
    for (size_t s = 0; s < expected::kSensorCount; ++s) {
        const Text name = SensorName(s);
        expectedCalls.Add(RegisterDeviceCall(reinterpret_cast<void*>(kHostArg1), name.c_str(),
                                             reinterpret_cast<void*>(kHostArg3), name.c_str(),
                                             true));
    }
    Text detail;
    report::Check(registrar_.Calls().Matches(0, registrar_.Calls().Size(), expectedCalls, detail),
                  "RegisterDevice once per sensor, in order, with (arg1, name, arg3, name, device)",
                  detail);
    CollectAccepted();
    if (settings_.refusedSensor >= 0) {
        Text account(registrar_.Refusal().Account());
        report::Check(registrar_.Refusal().HandedOut() == 1 && registrar_.Refusal().Releases() == 1,
                      "the refused registration's error was released exactly once",
                      account.c_str());
    }
    CheckInstantiationLog();
}

void Cycle::CollectAccepted() {
    bool distinct = true;
    for (size_t i = 0; i < registrar_.Count(); ++i) {
        const DeviceRegistrar::Registration& registration = registrar_.At(i);
        if (registration.refused || registration.device == nullptr) continue;
        // A refused device is gone at once, and its memory may come back as
        // a later device: only the accepted ones must differ.
        for (size_t a = 0; a < acceptedCount_; ++a) {
            distinct &= accepted_[a].device != registration.device;
        }
        if (acceptedCount_ < kMaxDevices) {
            accepted_[acceptedCount_++] = Accepted{i, registration.device};
        }
    }
    report::Check(distinct, "every accepted device is an object of its own",
                  "two accepted registrations handed over the same device");
}

void Cycle::CheckInstantiationLog() {
    Text refusedLine(expected::kRefusedLogPrefix);
    refusedLine.Add(kRefusalText);
    const unsigned wantRefused = settings_.refusedSensor >= 0 ? 1 : 0;
    const unsigned refused = services_.Count(3, refusedLine.c_str());
    Text what("log: ");
    what.Add(wantRefused == 1 ? "one" : "no").Add(" level-3 line \"").Add(refusedLine).Add("\"");
    Text got("got ");
    got.Unsigned(refused);
    report::Check(refused == wantRefused, what, got);

    Text acceptedLine(expected::kAcceptedLogPrefix);
    acceptedLine.Add(kHostText);
    const unsigned accepted = services_.Count(1, acceptedLine.c_str());
    Text acceptedWhat("log: level-1 \"");
    acceptedWhat.Add(acceptedLine).Add("\" once per accepted device (");
    acceptedWhat.Unsigned(acceptedCount_).Add(")");
    Text acceptedGot("got ");
    acceptedGot.Unsigned(accepted);
    report::Check(accepted == acceptedCount_ && acceptedCount_ > 0, acceptedWhat, acceptedGot);
}

void Cycle::AttachContexts() {
    guard::Step("AttachContext, GetStatus");
    report::RunningCheck attach(
        "AttachContext calls RequestUpdate once and returns its answer, on every device");
    report::RunningCheck status("GetStatus after AttachContext answers 0, true");
    for (size_t a = 0; a < acceptedCount_; ++a) {
        const size_t sensor = accepted_[a].sensor;
        DeviceContext& context = contexts_[sensor];
        // Answers differ between devices, so a constant answer shows.
        context.Setup(sensor, sensor % 2 == 0, parameters_, recorder_);
        const bool answer = accepted_[a].device->AttachContext(&context);
        if (answer != context.UpdateAnswer() || context.Updates() != 1) {
            Text detail(SensorName(sensor));
            detail.Add(": returned ").Bool(answer).Add(", RequestUpdate answered ");
            detail.Bool(context.UpdateAnswer()).Add(" and was called ");
            attach.Fail(detail.Unsigned(context.Updates()).Add(" times"));
        }
        int32_t ready = -7;  // untouched values show
        bool redeclare = false;
        accepted_[a].device->GetStatus(&ready, &redeclare);
        if (ready != 0 || !redeclare) {
            status.Fail(SensorName(sensor).Add(": ").Int(ready).Add(", ").Bool(redeclare));
        }
    }
    attach.Finish();
    status.Finish();
}

void Cycle::DeclareSessions() {
    guard::Step("DeclareSession");
    for (int p = 0; p < expected::kParameterCount; ++p) {
        parameters_.Set(p, settings_.triggers[p], settings_.paths[p]);
    }
    // No frame of the session can come before the declaration.
    firstDelivery_ = Delivered();
    callsBeforeSession_ = stationAttached_ ? station_.CallCount() : 0;
    DeclareEveryDevice();
    guard::Step("SessionOpened");
    for (size_t a = 0; a < acceptedCount_; ++a) accepted_[a].device->SessionOpened();
    deliveredAtOpen_ = Delivered();
    WaitForSessionStart();
    CheckSessionStart();
}

void Cycle::DeclareEveryDevice() {
    const int64_t period = static_cast<int64_t>(kTimebase / expected::kSampleRateHz);
    Text what("DeclareSession answers true, having declared SetPeriod(");
    what.Int(period).Add(") (timebase ").Unsigned(kTimebase).Add(" / ");
    what.Int(static_cast<int64_t>(expected::kSampleRateHz)).Add(" Hz, truncated), SetValueCount(");
    what.Int(expected::kSamplesPerFrame).Add(" x ").Int(expected::kStreamsPerSensor).Add(" = ");
    what.Int(expected::kSamplesPerFrame * expected::kStreamsPerSensor);
    what.Add("), SetOption(0) and no DeclareSignal, on every device");
    report::RunningCheck declared(what.c_str());
    for (size_t a = 0; a < acceptedCount_; ++a) {
        const size_t sensor = accepted_[a].sensor;
        const bool answer =
            accepted_[a].device->DeclareSession(SessionId(sensor), &declarations_[sensor]);
        CallJournal want;
        want.Add(declaration_calls::SetPeriod(period));
        want.Add(declaration_calls::SetValueCount(ExpectedSamplesPerFrame(sensor) *
                                                  ExpectedStreams(sensor)));
        want.Add(declaration_calls::SetOption(0));
        const CallJournal& got = declarations_[sensor].Calls();
        Text detail(SensorName(sensor));
        detail.Add(": ");
        if (!got.Matches(0, got.Size(), want, detail) || !answer) {
            declared.Fail(detail.Add(answer ? "" : " (answered false)"));
        }
    }
    declared.Finish();
}

void Cycle::WaitForSessionStart() {
    guard::Step("session start");
    const uint64_t deadline = win::GetTickCount64() + kSessionStartLimitMs;
    for (;;) {
        bool started = parameters_.ReadCount() >= expected::kParameterCount;
        for (size_t a = 0; a < acceptedCount_ && started; ++a) {
            int32_t ready = -7;
            bool redeclare = true;
            accepted_[a].device->GetStatus(&ready, &redeclare);
            started = ready == 1 && contexts_[accepted_[a].sensor].Updates() >= 2;
        }
        if (started || win::GetTickCount64() > deadline) return;
        win::Sleep(5);
    }
}

void Cycle::CheckSessionStart() {
    report::RunningCheck ready(
        "GetStatus answers ready (1, false) on every device after the session start");
    report::RunningCheck updates("the session start calls RequestUpdate once more on every device");
    for (size_t a = 0; a < acceptedCount_; ++a) {
        const size_t sensor = accepted_[a].sensor;
        int32_t readyState = -7;
        bool redeclare = true;
        accepted_[a].device->GetStatus(&readyState, &redeclare);
        if (readyState != 1 || redeclare) {
            ready.Fail(SensorName(sensor).Add(": ").Int(readyState).Add(", ").Bool(redeclare));
        }
        const unsigned calls = contexts_[sensor].Updates();
        if (calls != 2) {
            Text detail(SensorName(sensor));
            detail.Add(": RequestUpdate called ").Unsigned(calls).Add(" times in all, expected 2");
            updates.Fail(detail);
        }
    }
    ready.Finish();
    updates.Finish();
    CheckTriggerReads();
    CheckStationConfigured();
}

void Cycle::CheckTriggerReads() {
    unsigned perKey[expected::kParameterCount] = {};
    Text problem;
    Text filling;
    const int first = acceptedCount_ > 0 ? static_cast<int>(accepted_[0].sensor) : -1;
    for (size_t r = 0; r < parameters_.ReadCount(); ++r) {
        const HostParameters::Read read = parameters_.ReadAt(r);
        if (read.key < 0 || read.device != first || !read.qualifierEmpty) {
            if (problem.Length() == 0) {
                problem.Add("read ").Unsigned(r + 1).Add(read.key < 0 ? ": unknown key" : "");
                problem.Add(read.device != first ? ": not through the first device" : "");
                problem.Add(read.qualifierEmpty ? "" : ": qualifier not \"\"");
            }
            continue;
        }
        ++perKey[read.key];
        if ((!read.typeCodeOne || !read.filled || !read.readBack) && filling.Length() == 0) {
            filling.Add(expected::kParameters[read.key].key).Add(": TypeCode 1 ");
            filling.Bool(read.typeCodeOne).Add(", accepted ").Bool(read.filled);
            filling.Add(", read back ").Bool(read.readBack);
        }
    }
    for (int k = 0; k < expected::kParameterCount && problem.Length() == 0; ++k) {
        if (perKey[k] != 1) {
            problem.Add(expected::kParameters[k].key)
                .Add(" read ")
                .Unsigned(perKey[k])
                .Add(" times");
        }
    }
    report::Check(problem.Length() == 0,
                  "the session start reads StartTrigger, StopTrigger, TriggerOutputs once each "
                  "through the first device, qualifier \"\"",
                  problem.c_str());
    Text what("the plug-in's value objects take the host's settings:");
    for (int k = 0; k < expected::kParameterCount; ++k) {
        what.Add(k == 0 ? " " : ", ").Add(expected::kParameters[k].key).Add(" ");
        what.Bool(parameters_.Value(k)).Add(" by ");
        what.Add(parameters_.Path(k) == FillPath::kSetValue ? "SetValue" : "AssignBytes(8 bytes)");
    }
    report::Check(filling.Length() == 0, what.Add("; each read back with Value()"), filling);
}

void Cycle::CheckStationConfigured() {
    if (!stationAttached_) return;
    // The station calls of the session start, in order: stop, configure, start.
    Text seen;
    VarnixSimCall call{};
    for (size_t i = callsBeforeSession_; i < station_.CallCount(); ++i) {
        if (!station_.Call(i, call)) continue;
        if (SameText(call.function, "infoRequest")) continue;
        seen.Add(seen.Length() == 0 ? "" : ", ").Add(call.function);
        if (SameText(call.function, "configure")) seen.Add("(").Add(call.arguments).Add(")");
    }
    Text want("stop, configure(");
    want.Add(settings_.expectedConfigure).Add("), start");
    Text what("the station is stopped, configured (");
    what.Add(settings_.expectedConfigure).Add(") from the host's trigger settings, and started");
    Text got("station calls: ");
    got.Add(seen);
    report::Check(seen.Is(want.c_str()), what, got);
}

int32_t Cycle::ExpectedSamplesPerFrame(size_t sensor) const {
    return stationAttached_ ? station_.SamplesPerFrame(sensor) : expected::kSamplesPerFrame;
}

int32_t Cycle::ExpectedStreams(size_t sensor) const {
    return stationAttached_ ? station_.StreamCount(sensor) : expected::kStreamsPerSensor;
}

uint64_t Cycle::Delivered() const {
    return stationAttached_ ? station_.Counters().framesDelivered : 0;
}
