// Shared setting for the acquisition tests: the scripted simulated station
// (linked in, so the bridge finds the same library beside the test), and the
// plug-in's side played by the test itself (TestContext): its own device
// list of devices with fake host contexts, its own catalogue length and
// services. No process-wide plug-in state is touched.
#pragma once

#include "acquisition/acquisition.h"
#include "acquisition/acquisition_loop.h"
#include "contract/station_control.h"
#include "device/vdevice.h"
#include "tests/device/fake_host.h"
#include "tests/support/plugin_threads.h"

#include <gtest/gtest.h>
#include <boost/make_shared.hpp>

#include <algorithm>
#include <chrono>
#include <memory>
#include <mutex>
#include <numeric>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace acquisition_test {

// Polls `done` every millisecond for up to `limit`.
template <typename Predicate>
bool Eventually(Predicate done, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

struct StationCall {
    std::string function;
    std::string arguments;
    uint64_t thread;
};

inline std::vector<StationCall> StationCalls() {
    std::vector<StationCall> calls;
    VarnixSimCall call;
    for (size_t i = 0; VarnixSim_GetCall(i, &call) != 0; ++i) {
        calls.push_back({call.function, call.arguments, call.thread});
    }
    return calls;
}

inline std::vector<StationCall> CallsOf(const std::string& function) {
    std::vector<StationCall> matching;
    for (const StationCall& call : StationCalls()) {
        if (call.function == function) matching.push_back(call);
    }
    return matching;
}

// Function names only, polls left out, in call order.
inline std::vector<std::string> CallNames() {
    std::vector<std::string> names;
    for (const StationCall& call : StationCalls()) {
        if (call.function != "pollData") names.push_back(call.function);
    }
    return names;
}

// The frame a scripted slice came from (value v of frame f is f*1000+v).
inline int FrameOf(const fake::Push& push) {
    return push.values.empty() ? -1 : static_cast<int>(push.values.front()) / 1000;
}

// The acquisition thread feeding itself: at every pause (a hook that runs on
// the acquisition thread) it scripts the next frames, like a station whose
// clock made them ready meanwhile, and notes what the test asked to see.
// The test thread installs it before StartAcquisition and reads it after
// StopAcquisition (the thread's start and join order those accesses); the
// hook's records are also taken under `mutex`.
struct Feeder {
    struct Threads {
        size_t acquisition = 0;
        std::set<int64_t> handoff;
    };
    static inline int framesPerPause = 0;
    static inline int length = 0;
    static inline int nextFrame = 0;
    static inline int burstAtFirstPause = 0;  // frames scripted at once at the first pause
    static inline bool recordThreads = false;
    static inline std::mutex mutex;
    static inline std::vector<VarnixSimCounters> pauses;  // the station's counters at each pause
    static inline std::vector<Threads> threads;           // with recordThreads

    // `firstFrame`: the number of the next frame (after any scripted by hand).
    static void Install(int perPause, int frameLength, int firstFrame = 0) {
        framesPerPause = perPause;
        length = frameLength;
        nextFrame = firstFrame;
        burstAtFirstPause = 0;
        recordThreads = false;
        pauses.clear();
        threads.clear();
        varnix::AcquisitionHooks hooks;
        hooks.beforePause = &AtPause;
        varnix::SetAcquisitionHooks(hooks);
    }
    static void AtPause() {
        VarnixSimCounters counters{};
        VarnixSim_GetCounters(&counters);
        Threads seen;
        if (recordThreads) {
            seen.acquisition = plugin_threads::Named("varnix-acquire").size();
            seen.handoff = plugin_threads::Named("varnix-handoff");
        }
        std::lock_guard<std::mutex> lock(mutex);
        const int count =
            pauses.empty() && burstAtFirstPause > 0 ? burstAtFirstPause : framesPerPause;
        pauses.push_back(counters);
        if (recordThreads) threads.push_back(seen);
        for (int f = 0; f < count; ++f, ++nextFrame) {
            std::vector<float> values(static_cast<size_t>(length));
            for (int v = 0; v < length; ++v)
                values[static_cast<size_t>(v)] = static_cast<float>(nextFrame * 1000 + v);
            VarnixSim_ScriptFrame(values.data(), values.size());
        }
    }
    static std::vector<VarnixSimCounters> Pauses() {
        std::lock_guard<std::mutex> lock(mutex);
        return pauses;
    }
    static std::vector<Threads> ThreadsSeen() {
        std::lock_guard<std::mutex> lock(mutex);
        return threads;
    }
    static size_t MostHandoffThreads() {
        size_t most = 0;
        for (const Threads& seen : ThreadsSeen()) most = std::max(most, seen.handoff.size());
        return most;
    }
};

// What acquisition asks of the plug-in, answered by the test.
// [test thread] changes the list and the catalogue length; [acquisition]
// copies the list under `mutex_` and reads the length atomically.
class TestContext final : public varnix::AcquisitionContext {
public:
    explicit TestContext(ViconDigitalDevice::IHostServices* services) : services_(services) {}

    bool CopyDevicesIfChanged(uint64_t& version, varnix::DeviceList& devices) override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (version == version_) return false;
        devices = devices_;
        version = version_;
        return true;
    }
    uint64_t DeviceListVersion() const override { return version_.load(); }
    size_t CatalogueSensorCount() const override { return catalogueLength.load(); }
    int32_t FrameMultiple() const override { return 1; }
    ViconDigitalDevice::IHostServices* Services() const override { return services_; }

    // Replaces the list (the old devices die here, outside the lock).
    void SetDevices(varnix::DeviceList devices) {
        varnix::DeviceList old;
        std::lock_guard<std::mutex> lock(mutex_);
        old.swap(devices_);
        devices_ = std::move(devices);
        ++version_;
    }
    // As a host's OnManualDeviceInstantiation appends its accepted devices.
    void AppendDevices(const varnix::DeviceList& added) {
        std::lock_guard<std::mutex> lock(mutex_);
        devices_.insert(devices_.end(), added.begin(), added.end());
        ++version_;
    }
    varnix::DeviceList Devices() {
        std::lock_guard<std::mutex> lock(mutex_);
        return devices_;
    }

    std::atomic<size_t> catalogueLength{0};

private:
    ViconDigitalDevice::IHostServices* const services_;
    std::mutex mutex_;
    varnix::DeviceList devices_;
    std::atomic<uint64_t> version_{1};
};

struct AcquisitionFixture : ::testing::Test {
    fake::Services services;
    TestContext plugin{&services};
    std::vector<std::unique_ptr<fake::Context>> contexts;

    void SetUp() override {
        VarnixSim_Reset();
        VarnixSim_ScriptPollFalse(0);  // script mode: polls answer only what is scripted
    }
    void TearDown() override {
        varnix::StopAcquisition();
        varnix::SetAcquisitionHooks({});
        SetDevices({}, 0);
        VarnixSim_Reset();
    }

    // A device with `values` values per frame (samples per frame `samples`)
    // at `offset`, attached to a fresh fake context unless `attach` is false.
    boost::shared_ptr<varnix::vDevice> Device(int32_t samples, int32_t values, int32_t offset,
                                              bool attach = true) {
        auto device = boost::make_shared<varnix::vDevice>(&services, 1000.0, samples, values,
                                                          offset, 1, std::vector<int32_t>{0});
        contexts.push_back(std::make_unique<fake::Context>());
        if (attach) device->AttachContext(contexts.back().get());
        return device;
    }
    fake::Context& ContextOf(size_t index) { return *contexts[index]; }

    void SetDevices(varnix::DeviceList devices, size_t catalogueLength) {
        plugin.SetDevices(std::move(devices));
        plugin.catalogueLength.store(catalogueLength);
    }
    void AppendDevices(const varnix::DeviceList& added) { plugin.AppendDevices(added); }

    // Scripts `count` frames of `length` values; value v of frame f is f*1000+v.
    static void ScriptFrames(int count, int length, int firstFrame = 0) {
        for (int f = firstFrame; f < firstFrame + count; ++f) {
            std::vector<float> values(static_cast<size_t>(length));
            for (int v = 0; v < length; ++v)
                values[static_cast<size_t>(v)] = static_cast<float>(f * 1000 + v);
            VarnixSim_ScriptFrame(values.data(), values.size());
        }
    }
    static std::vector<float> Slice(int frame, int offset, int length) {
        std::vector<float> values(static_cast<size_t>(length));
        for (int v = 0; v < length; ++v)
            values[static_cast<size_t>(v)] = static_cast<float>(frame * 1000 + offset + v);
        return values;
    }
};

}  // namespace acquisition_test
