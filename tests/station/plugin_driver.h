// The real module loaded by the recording test host, beside the simulated
// station (linked in, so the module's bridge loads this very library and the
// test controls what it answers).
#pragma once

#include "emulator/plugin_module.h"
#include "emulator/test_host.h"
#include "station_client.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

namespace station_test {

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

// Handshake, Initialise, definitions and instantiation.
inline void Publish(varnix::emulator::TestHost& host, varnix::emulator::PluginModule& module) {
    if (!module.Loaded()) {
        ASSERT_TRUE(module.Load(ModulePath())) << module.ErrorText();
    }
    host.Handshake(module);
    ASSERT_TRUE(host.Initialise(module));
    host.ProvideDefinitions(module);
    host.Instantiate(module);
}

// Every device attached and declared, last first, then waits until the
// session start made them all ready.
inline void Declare(varnix::emulator::TestHost& host) {
    ASSERT_GT(host.DeviceCount(), 0u);
    for (size_t d = 0; d < host.DeviceCount(); ++d) host.AttachContext(d);
    for (size_t d = host.DeviceCount(); d-- > 0;) {
        host.DeclareSession(d, 100 + static_cast<int32_t>(d));
    }
    ASSERT_TRUE(Eventually([&] {
        for (size_t d = 0; d < host.DeviceCount(); ++d) {
            if (host.GetStatus(d).readyState != 1) return false;
        }
        return true;
    })) << "the session start never made the devices ready";
    for (size_t d = 0; d < host.DeviceCount(); ++d) host.SessionOpened(d);
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

inline std::string Violations(varnix::emulator::TestHost& host) {
    std::string text;
    for (const auto& violation : host.Monitor().Violations()) {
        text += varnix::emulator::Describe(violation) + "\n";
    }
    return text;
}

}  // namespace station_test
