// The exports seen from a host: the version handshake, Initialise, and
// Shutdown with no devices, through the real module and the station library.
#include "tests/contract/minimal_host.h"
#include "tests/contract/station_handle.h"

#include <gtest/gtest.h>

namespace {

TEST(Lifecycle, HandshakeInitialiseAndShutdownWithoutDevices) {
    contract::StationHandle station(contract::BinDir() + "/libVarnixAPI2.so");
    ASSERT_NE(station.handle, nullptr) << dlerror();
    station.Get<void (*)()>("VarnixSim_Reset")();
    contract::Module module(contract::BinDir() + "/VarnixViconPlugin.vdd");
    ASSERT_TRUE(module.Complete()) << dlerror();

    // Without a HostAPIVersion call the host counts as version 1.
    EXPECT_EQ(module.PluginAPIVersion(), 1);
    int marker = 0;
    module.HostAPIVersion(&marker, 1);
    EXPECT_EQ(module.PluginAPIVersion(), 1);
    for (int32_t version : {7, 0, -1, 2}) {
        module.HostAPIVersion(nullptr, version);
        EXPECT_EQ(module.PluginAPIVersion(), 2) << "host version " << version;
    }
    module.HostAPIVersion(nullptr, 1);
    EXPECT_EQ(module.PluginAPIVersion(), 1);

    EXPECT_TRUE(module.Initialise(nullptr));
    contract::RecordingServices services;
    EXPECT_TRUE(module.Initialise(&services));

    // Shutdown with no devices stops then closes the station, every time, and
    // never polls after close.
    station.Get<void (*)()>("VarnixSim_ClearCalls")();
    module.Shutdown();
    module.Shutdown();
    std::vector<std::string> calls = station.Calls();
    std::vector<std::string> stopsAndCloses;
    for (const auto& call : calls) {
        if (call == "stop()" || call == "close()") {
            stopsAndCloses.push_back(call);
        }
    }
    EXPECT_EQ(stopsAndCloses, (std::vector<std::string>{"stop()", "close()", "stop()", "close()"}));
    EXPECT_EQ(calls.back(), "close()");
    for (const auto& line : services.Lines()) {
        EXPECT_NE(line.level, 3) << line.text;
    }
}

}  // namespace
