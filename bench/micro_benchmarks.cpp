// Micro-benchmarks of the plug-in's per-call and per-frame work, linked
// against the plug-in's object library and the simulated station in script
// mode (so the station answers from memory and costs next to nothing):
//
//   BridgeCall          one bridge call: station object, getter, call, delete
//   CatalogueBuild      the catalogue of 16 sensors of 7 streams, through the bridge
//   HandoffPass/N       the loop's hand-off pass over N devices, each with its
//                       long-lived hand-off thread: gate, one block copy, one
//                       wake of the device's thread, which pushes
//   ParameterRoundTrip  a trigger value set, copied to another value and read back
//   ThreadStartFloor    start and join of a thread that does nothing: what a
//                       hand-off cost when it started a thread per frame
//
// The pass reports the allocations it made per device and frame (counted by
// a replaced global operator new): none by design.
#include "acquisition/device_handoffs.h"
#include "bench/allocation_counter.h"
#include "bench/null_host.h"
#include "bench/process_probe.h"
#include "bridge/bridge.h"
#include "catalogue/station_catalogue_build.h"
#include "contract/station_control.h"
#include "device/parameter_value_bool.h"
#include "device/vdevice.h"

#include <benchmark/benchmark.h>
#include <boost/make_shared.hpp>

#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using varnix::BuildSensorCatalogue;
using varnix::SensorCatalogue;
using varnix::vDevice;

namespace {

using varnix::bench::NullContext;

// The station answers polls with false and nothing else: script mode, empty.
void BM_BridgeCall(benchmark::State& state) {
    VarnixSim_Reset();
    VarnixSim_ScriptPollFalse(0);
    VarnixFrameBuf frame;
    std::memset(&frame, 0, sizeof frame);
    for (auto _ : state) {
        benchmark::DoNotOptimize(varnix_pollData(frame));
    }
    VarnixSim_Reset();
}
BENCHMARK(BM_BridgeCall);

// 16 sensors, each EMG (1 stream), ACC (3) and GYRO (3): 112 items.
void ScriptSixteenSensorsOfSevenStreams() {
    struct Channel {
        const char* name;
        const char* unit;
        int components;
    };
    const Channel channels[] = {{"EMG", "VOLTS", 1}, {"ACC", "g", 3}, {"GYRO", "deg/s", 3}};
    std::string items;
    std::vector<double> rates;
    for (int sensor = 1; sensor <= 16; ++sensor) {
        char sensorId[8];
        std::snprintf(sensorId, sizeof sensorId, "s%02d", sensor);
        const std::string sensorName = "Sensor " + std::to_string(sensor);
        for (int c = 0; c < 3; ++c) {
            const std::string group = std::string(sensorId) + ".c" + std::to_string(c + 1);
            VarnixSim_ScriptAnswer(group.c_str(), 0, channels[c].name);
            for (int k = 1; k <= channels[c].components; ++k) {
                const std::string item = group + "+" + std::to_string(k);
                const std::string component =
                    std::string(channels[c].name) + " " + std::to_string(k);
                VarnixSim_ScriptAnswer(item.c_str(), 2, channels[c].unit);
                VarnixSim_ScriptAnswer(item.c_str(), 0, component.c_str());
                VarnixSim_ScriptAnswer(item.c_str(), 3, sensorName.c_str());
                items += item + "|";
                rates.push_back(c == 0 ? 2000.0 : 148.148);
            }
        }
    }
    VarnixSim_ScriptItemList(items.c_str());
    VarnixSim_ScriptFrameMultiple(1);
    VarnixSim_ScriptRates(rates.data(), rates.size());
}

void BM_CatalogueBuild(benchmark::State& state) {
    VarnixSim_Reset();
    ScriptSixteenSensorsOfSevenStreams();
    VarnixMetadataBuf metadata;
    SensorCatalogue catalogue;
    std::string failure;
    for (auto _ : state) {
        if (!BuildSensorCatalogue(metadata, catalogue, failure) || catalogue.size() != 16) {
            state.SkipWithError(("catalogue build failed: " + failure).c_str());
            break;
        }
        benchmark::DoNotOptimize(catalogue.data());
    }
    VarnixSim_Reset();
}
BENCHMARK(BM_CatalogueBuild);

// The loop's pass as the acquisition thread runs it, over N devices of 7
// streams at 2000 Hz (27 samples each per frame), each with a context that
// takes the push and does nothing. CPU is counted over every thread of the
// process, the hand-off threads included.
void BM_HandoffPass(benchmark::State& state) {
    const int32_t devices = static_cast<int32_t>(state.range(0));
    constexpr int32_t kSamples = 27;
    constexpr int32_t kStreams = 7;
    constexpr int32_t kValues = kSamples * kStreams;
    std::vector<std::unique_ptr<NullContext>> contexts;
    varnix::DeviceList list;
    std::vector<int32_t> channels = {0, 1, 2};
    for (int32_t d = 0; d < devices; ++d) {
        contexts.push_back(std::make_unique<NullContext>());
        list.push_back(boost::make_shared<vDevice>(nullptr, 2000.0, kSamples, kValues, d * kValues,
                                                   3, channels));
        list.back()->AttachContext(contexts.back().get());
    }
    std::vector<float> frame(static_cast<size_t>(devices * kValues), 1.0f);
    varnix::bench::NullAcquisitionContext context;
    varnix::DeviceHandoffs handoffs(context);
    handoffs.Update(list);

    const uint64_t allocationsBefore = varnix::bench::AllocationCount();
    const int64_t cpuBefore = varnix::bench::ProcessCpuNs();
    for (auto _ : state) {
        handoffs.HandOff(frame.data());
    }
    for (const auto& device : list) {  // the last deliveries are over once each gate is free
        device->Gate().TakeGate();
        device->Gate().ReleaseGate();
    }
    const uint64_t allocations = varnix::bench::AllocationCount() - allocationsBefore;
    const int64_t cpu = varnix::bench::ProcessCpuNs() - cpuBefore;
    handoffs.Update({});
    uint64_t pushes = 0;
    for (const auto& context : contexts) pushes += context->Pushes();
    const double handoffsDone = static_cast<double>(state.iterations()) * devices;
    state.counters["allocs_per_handoff"] = static_cast<double>(allocations) / handoffsDone;
    state.counters["pushes_per_handoff"] = static_cast<double>(pushes) / handoffsDone;
    state.counters["per_device_ns"] =
        benchmark::Counter(handoffsDone, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["process_cpu_ns_per_handoff"] = static_cast<double>(cpu) / handoffsDone;
}
BENCHMARK(BM_HandoffPass)->Arg(1)->Arg(16)->Arg(64)->Arg(128)->UseRealTime();

// What a hand-off cost at the least when it started a thread per frame: the
// platform's cost of starting and joining a thread that does nothing, all
// threads' CPU counted as in the pass.
void BM_ThreadStartFloor(benchmark::State& state) {
    const int64_t cpuBefore = varnix::bench::ProcessCpuNs();
    for (auto _ : state) {
        std::thread idle([] {});
        idle.join();
    }
    state.counters["process_cpu_ns_per_handoff"] =
        static_cast<double>(varnix::bench::ProcessCpuNs() - cpuBefore) /
        static_cast<double>(state.iterations());
}
BENCHMARK(BM_ThreadStartFloor)->UseRealTime();

void BM_ParameterRoundTrip(benchmark::State& state) {
    bool on = false;
    for (auto _ : state) {
        on = !on;
        ViconDigitalDevice::IParameterValueBool lent;
        lent.SetValue(on);
        ViconDigitalDevice::IParameterValueBool received;
        const bool copied = lent.CopyTo(received);
        benchmark::DoNotOptimize(copied);
        if (received.Value() != on) {
            state.SkipWithError("the value did not survive the round trip");
            break;
        }
    }
}
BENCHMARK(BM_ParameterRoundTrip);

}  // namespace

BENCHMARK_MAIN();
