// The test host drives the real module in host order: the log shows the
// exports, the plug-in's calls and their threads, and nothing reaches the
// host once Shutdown has returned. Its own process: the module keeps
// process-wide state.
#include "emulator/plugin_module.h"
#include "emulator/test_host.h"
#include "tests/emulator/run_process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <thread>

namespace varnix::emulator::testing {
namespace {

size_t FirstIndexOf(const std::vector<CallRecord>& log, const std::string& operation) {
    for (size_t i = 0; i < log.size(); ++i) {
        if (log[i].operation == operation) return i;
    }
    return log.size();
}

TEST(ModuleLifecycle, HostOrderIsLoggedAndNothingFollowsShutdown) {
    PluginModule module;
    ASSERT_TRUE(module.Load(BinDir() + "/VarnixViconPlugin.vdd")) << module.ErrorText();
    TestHost host;
    EXPECT_EQ(host.Handshake(module, 7), 2);
    EXPECT_TRUE(host.Initialise(module));
    host.ProvideDefinitions(module);
    host.Instantiate(module, "lifecycle");
    ASSERT_GT(host.DeviceCount(), 0u);
    for (size_t d = 0; d < host.DeviceCount(); ++d) host.AttachContext(d);
    for (size_t d = 0; d < host.DeviceCount(); ++d) host.DeclareSession(d, 3);
    for (size_t d = 0; d < host.DeviceCount(); ++d) host.SessionOpened(d);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (host.Context(host.DeviceCount() - 1).PushCount() < 5 &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    for (size_t d = 0; d < host.DeviceCount(); ++d) host.SessionClosed(d);
    host.Shutdown(module);
    const size_t loggedAtShutdown = host.Log().Size();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(host.Log().Size(), loggedAtShutdown);
    EXPECT_TRUE(module.Unload());

    const auto log = host.Log().Snapshot();
    const std::vector<std::string> order = {"export:HostAPIVersion",
                                            "export:PluginAPIVersion",
                                            "export:Initialise",
                                            "export:ProvideDeviceDefinitions",
                                            "DefineDevice",
                                            "Commit",
                                            "export:BeginDeviceInstantiation",
                                            "RegisterDevice",
                                            "IDevice::AttachContext",
                                            "IDevice::DeclareSession",
                                            "SetValueCount",
                                            "PushSamples",
                                            "export:Shutdown"};
    for (size_t i = 1; i < order.size(); ++i) {
        EXPECT_LT(FirstIndexOf(log, order[i - 1]), FirstIndexOf(log, order[i]))
            << order[i - 1] << " before " << order[i];
    }
    // The host's own calls run on the test's thread; pushes come from others.
    std::set<uint64_t> pushThreads;
    for (const CallRecord& record : log) {
        if (record.operation.rfind("export:", 0) == 0) {
            EXPECT_EQ(record.thread, log.front().thread);
        }
        if (record.operation == "PushSamples") pushThreads.insert(record.thread);
    }
    EXPECT_EQ(pushThreads.count(log.front().thread), 0u);
    for (size_t d = 0; d < host.DeviceCount(); ++d) {
        for (const PushRecord& push : host.Context(d).Pushes()) EXPECT_EQ(push.sessionId, 3);
    }
    EXPECT_EQ(host.Monitor().Count(), 0u)
        << (host.Monitor().Count() ? Describe(host.Monitor().Violations()[0]) : "");
    EXPECT_EQ(host.Errors().Unreleased(), 0u);
}

}  // namespace
}  // namespace varnix::emulator::testing
