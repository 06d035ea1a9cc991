// Shared steps of the scenarios that drive the real module: loaded with
// dlopen by the recording test host, beside the simulated station (linked
// into the test, so the module's bridge loads the very library the test
// controls).
#pragma once

#include "contract/station_control.h"
#include "emulator/plugin_module.h"
#include "emulator/startup_sequence.h"
#include "emulator/test_host.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace scenario {

inline std::string ModulePath() {
    const char* bin = std::getenv("VARNIX_BIN_DIR");
    return std::string(bin != nullptr ? bin : ".") + "/VarnixViconPlugin.vdd";
}

// Bounded wait: true once `done` holds, false when `limit` ran out.
template <typename Predicate>
bool Eventually(Predicate done, std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// Station calls by function name, polls included only while logged.
inline std::vector<std::string> StationCallNames() {
    std::vector<std::string> names;
    VarnixSimCall call;
    for (size_t i = 0; VarnixSim_GetCall(i, &call) != 0; ++i) names.push_back(call.function);
    return names;
}

// Handshake, Initialise, definitions and instantiation.
inline void Publish(varnix::emulator::TestHost& host, varnix::emulator::PluginModule& module) {
    if (!module.Loaded()) {
        ASSERT_TRUE(module.Load(ModulePath())) << module.ErrorText();
    }
    varnix::emulator::StartupSequence startup(host, module);
    startup.RunThrough(varnix::emulator::StartupStep::kInitialise);
    ASSERT_TRUE(startup.Initialised());
    startup.RunThrough(varnix::emulator::StartupStep::kInstantiation);
}

// Every device attached and declared (last first, so that no device is
// pushed a session it was not told of), then waits until the session start
// made them all ready; with `open`, every session is then opened.
inline void DeclareAll(varnix::emulator::TestHost& host, bool open) {
    ASSERT_GT(host.DeviceCount(), 0u);
    for (size_t d = 0; d < host.DeviceCount(); ++d) host.AttachContext(d);
    for (size_t d = host.DeviceCount(); d-- > 0;) {
        host.DeclareSession(d, 100 + static_cast<int32_t>(d));
    }
    const bool ready = Eventually([&] {
        for (size_t d = 0; d < host.DeviceCount(); ++d) {
            if (host.GetStatus(d).readyState != 1) return false;
        }
        return true;
    });
    if (!ready) {
        VarnixSimCounters counters{};
        VarnixSim_GetCounters(&counters);
        std::string states;
        for (size_t d = 0; d < host.DeviceCount(); ++d) {
            states += " " + std::to_string(host.GetStatus(d).readyState);
        }
        std::string log;
        for (const auto& line : host.LogLines()) log += "\n  plug-in said: " + line.text;
        FAIL() << "the session start never made the devices ready; ready states" << states
               << "; station sessions started " << counters.sessionsStarted << ", polls "
               << counters.polls << ", frames delivered " << counters.framesDelivered << log;
    }
    if (open) {
        for (size_t d = 0; d < host.DeviceCount(); ++d) host.SessionOpened(d);
    }
}

inline bool PushesReach(varnix::emulator::TestHost& host, uint64_t count,
                        std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    return Eventually(
        [&] {
            for (size_t d = 0; d < host.DeviceCount(); ++d) {
                if (host.Context(d).PushCount() < count) return false;
            }
            return true;
        },
        limit);
}

inline uint64_t TotalPushes(varnix::emulator::TestHost& host) {
    uint64_t total = 0;
    for (size_t d = 0; d < host.DeviceCount(); ++d) total += host.Context(d).PushCount();
    return total;
}

// Every contract violation the host saw, one per line ("" when none).
inline std::string Violations(varnix::emulator::TestHost& host) {
    std::string text;
    for (const auto& violation : host.Monitor().Violations()) {
        text += varnix::emulator::Describe(violation) + "\n";
    }
    return text;
}

// [test thread] Shuts the module down when a test leaves early on a failed
// assertion, so that the plug-in's threads never push into a host that is
// already gone (which would hide the failure under a use-after-free).
// Declare it right after the host.
class ShutdownOnEarlyExit {
public:
    ShutdownOnEarlyExit(varnix::emulator::TestHost& host, varnix::emulator::PluginModule& module)
        : host_(host), module_(module) {}
    ShutdownOnEarlyExit(const ShutdownOnEarlyExit&) = delete;
    ShutdownOnEarlyExit& operator=(const ShutdownOnEarlyExit&) = delete;
    ~ShutdownOnEarlyExit() {
        if (module_.Loaded() && host_.Log().Count("export:Shutdown") == 0) host_.Shutdown(module_);
    }

private:
    varnix::emulator::TestHost& host_;
    varnix::emulator::PluginModule& module_;
};

}  // namespace scenario
