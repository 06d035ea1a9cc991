// Shared setting for the acquisition tests: the scripted simulated station
// (linked in, so the bridge finds the same library beside the test), devices
// with fake host contexts placed straight into the plug-in's device list.
#pragma once

#include "acquisition/acquisition.h"
#include "device/vdevice.h"
#include "plugin/plugin_state.h"
#include "station/station_control.h"
#include "tests/device/fake_host.h"

#include <boost/make_shared.hpp>
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
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
    uint64_t    thread;
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

struct AcquisitionFixture : ::testing::Test {
    fake::Services services;
    std::vector<std::unique_ptr<fake::Context>> contexts;

    void SetUp() override {
        VarnixSim_Reset();
        VarnixSim_ScriptPollFalse(0);  // script mode: polls answer only what is scripted
        varnix::State().services.store(&services);
    }
    void TearDown() override {
        varnix::StopAcquisition();
        SetDevices({}, 0);
        varnix::State().services.store(nullptr);
        VarnixSim_Reset();
    }

    // A device with `values` values per frame (samples per frame `samples`)
    // at `offset`, attached to a fresh fake context unless `attach` is false.
    boost::shared_ptr<vDevice> Device(int32_t samples, int32_t values, int32_t offset,
                                      bool attach = true) {
        auto device = boost::make_shared<vDevice>(&services, 1000.0, samples, values, offset, 1,
                                                  std::vector<int32_t>{0});
        contexts.push_back(std::make_unique<fake::Context>());
        if (attach) device->AttachContext(contexts.back().get());
        return device;
    }
    fake::Context& ContextOf(size_t index) { return *contexts[index]; }

    static void SetDevices(varnix::DeviceList devices, size_t catalogueLength) {
        varnix::PluginState& state = varnix::State();
        varnix::DeviceList old;
        {
            std::lock_guard<std::mutex> lock(state.deviceListMutex);
            old.swap(state.devices);
            state.devices = std::move(devices);
            ++state.deviceListVersion;
        }
        state.catalogueSensorCount.store(catalogueLength);
    }

    // Scripts `count` frames of `length` values; value v of frame f is f*1000+v.
    static void ScriptFrames(int count, int length, int firstFrame = 0) {
        for (int f = firstFrame; f < firstFrame + count; ++f) {
            std::vector<float> values(static_cast<size_t>(length));
            for (int v = 0; v < length; ++v) values[static_cast<size_t>(v)] = static_cast<float>(f * 1000 + v);
            VarnixSim_ScriptFrame(values.data(), values.size());
        }
    }
    static std::vector<float> Slice(int frame, int offset, int length) {
        std::vector<float> values(static_cast<size_t>(length));
        for (int v = 0; v < length; ++v) values[static_cast<size_t>(v)] = static_cast<float>(frame * 1000 + offset + v);
        return values;
    }
};

}  // namespace acquisition_test
