// The cycle's first steps: the definitions the module publishes, the station
// it loaded, and its decorated bridge functions.
#include "tests/windows/bridge_imports.h"
#include "tests/windows/cycle.h"
#include "tests/windows/expected_definitions.h"
#include "tests/windows/module_steps.h"
#include "tests/windows/pe_image.h"
#include "tests/windows/report.h"
#include "tests/windows/run_guard.h"

namespace {

// What the definitions of the default profile are, in one line.
Text DefinitionsWhat(size_t calls) {
    Text what("the ");
    what.Unsigned(calls).Add(" definition calls publish \"EMG 1\"..\"EMG 8\" in order: each ");
    what.Add("DefineDevice(\"").Add(expected::kManufacturer).Add("\", name, \"");
    what.Add(expected::kVersion).Add("\", name, \"").Add(expected::kDeviceType).Add("\", \"");
    what.Add(expected::kAddCommandCaption).Add("\", \"").Add(expected::kDescription).Add("\"),");
    for (const expected::Output& output : expected::kOutputs) {
        what.Add(" AddOutput(\"").Add(output.name).Add("\", ").Int(output.hostUnitCode);
        what.Add(") for ").Add(output.stationUnit).Add(" with components");
        for (int c = 0; c < output.componentCount; ++c) {
            what.Add(" \"").Add(output.components[c]).Add("\"");
        }
        what.Add(",");
    }
    return what.Add(" Commit; the first with the 3 trigger parameters and AddSignal(\"Start\")");
}

}  // namespace

void Cycle::PublishDefinitions() {
    guard::Step("ProvideDeviceDefinitions");
    CallJournal expected;
    for (int sensor = 0; sensor < expected::kSensorCount; ++sensor) {
        definition_calls::ExpectedFor(sensor, expected);
    }
    builder_.Expect(expected);
    module_.ProvideDeviceDefinitions(&builder_);
    if (!builder_.DifferenceReported()) {
        Text detail;
        const CallJournal& calls = builder_.Calls();
        report::Check(calls.Matches(0, calls.Size(), expected, detail),
                      DefinitionsWhat(expected.Size()), detail);
    }
    CheckDefaultValues();
    Text account(builder_.Refusals().Account());
    report::Check(builder_.Refusals().HandedOut() == 2 && builder_.Refusals().ReleasedOnceEach(),
                  "the builder's refused calls (3rd AddComponent, AddSignal) were released once "
                  "each, and publishing went on",
                  account.c_str());
}

void Cycle::CheckDefaultValues() {
    const CallJournal& seen = builder_.Defaults();
    for (size_t p = 0; p < static_cast<size_t>(expected::kParameterCount); ++p) {
        const char* key = expected::kParameters[p].key;
        Text want(key);
        want.Add(": ").Add(expected::kDefaultValueSeen);
        Text what("default value object of ");
        what.Add(key).Add(" through its slots: ").Add(expected::kDefaultValueSeen);
        const char* got = p < seen.Size() ? seen.At(p) : "no AddBoolParameter call";
        report::Check(want.Is(got), what, Text("got ").Add(got));
    }
}

void Cycle::AttachStation() {
    guard::Step("finding the station");
    Text problem;
    stationAttached_ = station_.Attach(problem);
    report::Check(stationAttached_, "the module loaded VarnixAPI2.dll, the simulated station",
                  problem.c_str());
    if (!stationAttached_) return;
    const Text station = station_.Path();
    const Text module = module_.FileName();
    Text detail("station ");
    detail.Add(station).Add(", module ").Add(module);
    report::Check(
        SameTextIgnoringCase(FolderOf(station.c_str()).c_str(), FolderOf(module.c_str()).c_str()),
        "the station was found in the module's own folder", detail.c_str());
    CheckStationLayout();
}

void Cycle::CheckStationLayout() {
    bool same = station_.SensorCount() == expected::kSensorCount &&
                station_.FrameMultiple() == expected::kFrameMultiple;
    for (size_t s = 0; same && s < expected::kSensorCount; ++s) {
        same = station_.SamplesPerFrame(s) == expected::kSamplesPerFrame &&
               station_.StreamCount(s) == expected::kStreamsPerSensor;
    }
    Text got("the station runs ");
    got.Unsigned(station_.SensorCount()).Add(" sensors, frame multiple ");
    got.Int(station_.FrameMultiple()).Add("; is VARNIX_STATION_PROFILE set?");
    report::Check(same,
                  "the station runs its default profile: 8 sensors of 4 streams, 27 samples per "
                  "stream per frame",
                  got.c_str());
}

void Cycle::CallBridge() {
    guard::Step("bridge functions");
    CheckBridgeExports();
    if (stationAttached_) CheckInfoRequest();
}

// The names the linker took from the natural declarations are the ones the
// module exports: each resolves in the loaded module.
void Cycle::CheckBridgeExports() {
    const void* addresses[kBridgeFunctionCount] = {};
    BridgeFunctionAddresses(addresses);
    const DelayImportDescriptor* imports = FindDelayImports(kModuleImportName);
    const size_t count = imports != nullptr ? DelayImportCount(*imports) : 0;
    Text missing;
    size_t resolved = 0;
    for (size_t i = 0; i < count; ++i) {
        const char* name = DelayImportName(*imports, i);
        if (name != nullptr && win::GetProcAddress(module_.Handle(), name) != nullptr) {
            ++resolved;
        } else {
            missing.Add(missing.Length() == 0 ? "missing: " : ", ").Add(name);
        }
    }
    Text what("the nine bridge functions, declared as C++ functions, link to the module's ");
    what.Add("decorated exports: ").Unsigned(resolved).Add(" of ").Unsigned(count).Add(" resolve");
    report::Check(count == kBridgeFunctionCount && resolved == count, what, missing);
}

// One bridge call through the decorated import: it must reach the station
// (its call log) and hand back the station's own answer.
void Cycle::CheckInfoRequest() {
    Text stationAnswer;
    const bool stationAnswered = station_.InfoRequest("s01.c1+1", 3, stationAnswer);
    const size_t callsBefore = station_.CallCount();
    const char* answer = varnix_infoRequest("s01.c1+1", 3);
    VarnixSimCall call{};
    const bool reached =
        station_.CallCount() > callsBefore && station_.Call(station_.CallCount() - 1, call) &&
        SameText(call.function, "infoRequest") && SameText(call.arguments, "s01.c1+1,3");
    Text detail("the module answered ");
    detail.Quoted(answer).Add(", the station ");
    detail.Quoted(stationAnswered ? stationAnswer.c_str() : nullptr);
    detail.Add(reached ? "" : "; the call never reached the station");
    report::Check(answer != nullptr && stationAnswered && stationAnswer.Is(answer) &&
                      stationAnswer.Is("EMG 1") && reached,
                  "varnix_infoRequest(\"s01.c1+1\", 3) through the module reaches the station and "
                  "answers \"EMG 1\", as the station itself does",
                  detail.c_str());
}
