// Shared steps of the end-to-end scenarios: the real module loaded with
// dlopen by the recording test host, beside the simulated station (linked in,
// so the module's bridge finds the very library these tests control).
#pragma once

#include "emulator/plugin_module.h"
#include "emulator/test_host.h"
#include "station/station_control.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace e2e {

inline std::string ModulePath() {
    const char* bin = std::getenv("VARNIX_BIN_DIR");
    return std::string(bin != nullptr ? bin : ".") + "/VarnixViconPlugin.vdd";
}

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

// Handshake, Initialise, definitions, instantiation, then every device
// attached and declared (last first, so that no device is pushed a session
// it was not told of), and waits until the session start made them ready.
inline void BringUp(varnix::emulator::TestHost& host, varnix::emulator::PluginModule& module) {
    ASSERT_TRUE(module.Load(ModulePath())) << module.ErrorText();
    host.Handshake(module);
    ASSERT_TRUE(host.Initialise(module));
    host.ProvideDefinitions(module);
    host.Instantiate(module);
    ASSERT_GT(host.DeviceCount(), 0u);
    for (size_t d = 0; d < host.DeviceCount(); ++d) host.AttachContext(d);
    for (size_t d = host.DeviceCount(); d-- > 0;) host.DeclareSession(d, 100 + static_cast<int32_t>(d));
    ASSERT_TRUE(Eventually([&] {
        for (size_t d = 0; d < host.DeviceCount(); ++d) {
            if (host.GetStatus(d).readyState != 1) return false;
        }
        return true;
    })) << "the session start never made the devices ready";
}

inline std::string Violations(varnix::emulator::TestHost& host) {
    std::string text;
    for (const auto& violation : host.Monitor().Violations()) {
        text += varnix::emulator::Describe(violation) + "\n";
    }
    return text;
}

}  // namespace e2e
