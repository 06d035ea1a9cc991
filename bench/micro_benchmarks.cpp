// Micro-benchmarks of the plug-in's per-call and per-frame work, linked
// against the plug-in's object library and the simulated station in script
// mode (so the station answers from memory and costs next to nothing):
//
//   BridgeCall          one bridge call: station object, getter, call, delete
//   CatalogueBuild      the catalogue of 16 sensors of 7 streams, through the bridge
//   HandoffPass/N       one hand-off pass over N devices: gate, join the last
//                       delivery, one block copy, one thread start, per device
//   ParameterRoundTrip  a trigger value set, copied to another value and read back
//   ThreadStartFloor    start and join of a thread that does nothing (the platform's floor)
//   PersistentWorkerWake/N  waking one long-lived worker per device instead (for scale only)
//
// The pass reports the allocations it made per device and frame (counted by
// a replaced global operator new): the thread's start record is the only one
// by design.
#include "acquisition/handoff_launcher.h"
#include "bench/allocation_counter.h"
#include "bench/null_host.h"
#include "bench/process_probe.h"
#include "bridge/bridge.h"
#include "catalogue/station_catalogue_build.h"
#include "device/parameter_value_bool.h"
#include "device/vdevice.h"
#include "station/station_control.h"

#include <benchmark/benchmark.h>
#include <boost/make_shared.hpp>

#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

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
        int         components;
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
                const std::string component = std::string(channels[c].name) + " " + std::to_string(k);
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
// takes the push and does nothing.
void BM_HandoffPass(benchmark::State& state) {
    const int32_t devices = static_cast<int32_t>(state.range(0));
    constexpr int32_t kSamples = 27;
    constexpr int32_t kStreams = 7;
    constexpr int32_t kValues = kSamples * kStreams;
    std::vector<std::unique_ptr<NullContext>> contexts;
    std::vector<boost::shared_ptr<vDevice>>   list;
    std::vector<int32_t> channels = {0, 1, 2};
    for (int32_t d = 0; d < devices; ++d) {
        contexts.push_back(std::make_unique<NullContext>());
        list.push_back(boost::make_shared<vDevice>(nullptr, 2000.0, kSamples, kValues, d * kValues, 3, channels));
        list.back()->AttachContext(contexts.back().get());
    }
    std::vector<float>       frame(static_cast<size_t>(devices * kValues), 1.0f);
    std::vector<std::thread> handoffs(static_cast<size_t>(devices));

    const uint64_t allocationsBefore = varnix::bench::AllocationCount();
    const int64_t  cpuBefore = varnix::bench::ProcessCpuNs();
    for (auto _ : state) {
        for (size_t d = 0; d < list.size(); ++d) {
            list[d]->Gate().TakeGate();
            if (handoffs[d].joinable()) handoffs[d].join();
            list[d]->LoadSlice(frame.data());
            handoffs[d] = varnix::LaunchHandoff(list[d]);
        }
    }
    for (std::thread& handoff : handoffs) {
        if (handoff.joinable()) handoff.join();
    }
    // Read after the joins, so the deliveries' own allocations count too.
    const uint64_t allocations = varnix::bench::AllocationCount() - allocationsBefore;
    const int64_t  cpu = varnix::bench::ProcessCpuNs() - cpuBefore;
    uint64_t pushes = 0;
    for (const auto& context : contexts) pushes += context->Pushes();
    const double handoffsDone = static_cast<double>(state.iterations()) * devices;
    state.counters["allocs_per_handoff"] = static_cast<double>(allocations) / handoffsDone;
    state.counters["pushes_per_handoff"] = static_cast<double>(pushes) / handoffsDone;
    state.counters["per_device_ns"] = benchmark::Counter(
        handoffsDone, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["process_cpu_ns_per_handoff"] = static_cast<double>(cpu) / handoffsDone;
}
BENCHMARK(BM_HandoffPass)->Arg(1)->Arg(16)->Arg(64)->UseRealTime();

// The floor under a hand-off: the platform's cost of starting and joining a
// thread that does nothing, all threads' CPU counted as in the pass.
void BM_ThreadStartFloor(benchmark::State& state) {
    const int64_t cpuBefore = varnix::bench::ProcessCpuNs();
    for (auto _ : state) {
        std::thread idle([] {});
        idle.join();
    }
    state.counters["process_cpu_ns_per_handoff"] =
        static_cast<double>(varnix::bench::ProcessCpuNs() - cpuBefore) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_ThreadStartFloor)->UseRealTime();

// What one thread per hand-off costs against a design it is not allowed to
// use: one long-lived worker per device, woken for each frame. The figure
// bounds what the per-frame thread start costs; the plug-in keeps the start.
class SleepingWorker {
public:
    SleepingWorker() : thread_([this] { Serve(); }) {}
    ~SleepingWorker() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            quit_ = true;
        }
        wake_.notify_one();
        thread_.join();
    }
    // Waits for the last delivery to end (as TakeGate does), then wakes the worker.
    void Deliver() {
        std::unique_lock<std::mutex> lock(mutex_);
        done_.wait(lock, [this] { return !pending_; });
        pending_ = true;
        wake_.notify_one();
    }
    void WaitIdle() {
        std::unique_lock<std::mutex> lock(mutex_);
        done_.wait(lock, [this] { return !pending_; });
    }

private:
    void Serve() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return pending_ || quit_; });
            if (quit_) return;
            lock.unlock();
            context_.PushSamples(0, 0, 0, nullptr, 0, nullptr, 0);
            lock.lock();
            pending_ = false;
            done_.notify_one();
        }
    }
    NullContext             context_;
    std::mutex              mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    bool                    pending_ = false;
    bool                    quit_ = false;
    std::thread             thread_;
};

void BM_PersistentWorkerWake(benchmark::State& state) {
    std::vector<std::unique_ptr<SleepingWorker>> workers;
    for (int64_t d = 0; d < state.range(0); ++d) workers.push_back(std::make_unique<SleepingWorker>());
    const int64_t cpuBefore = varnix::bench::ProcessCpuNs();
    for (auto _ : state) {
        for (auto& worker : workers) worker->Deliver();
    }
    for (auto& worker : workers) worker->WaitIdle();
    const double deliveries = static_cast<double>(state.iterations()) * static_cast<double>(state.range(0));
    state.counters["per_device_ns"] =
        benchmark::Counter(deliveries, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["process_cpu_ns_per_handoff"] =
        static_cast<double>(varnix::bench::ProcessCpuNs() - cpuBefore) / deliveries;
}
BENCHMARK(BM_PersistentWorkerWake)->Arg(16)->Arg(64)->UseRealTime();

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
