// A short capture run inside the test's own process, through the same pieces
// vdd-host uses, so a test can see both what the plug-in pushed (the test
// host's records) and what vdd-host made of it. One per process: the module
// and the station keep process-wide state.
#pragma once

#include "emulator/startup_sequence.h"
#include "emulator/test_host.h"
#include "emulator/vdd_host/common/device_layout.h"
#include "emulator/vdd_host/common/plugin_environment.h"
#include "emulator/vdd_host/common/push_checker.h"
#include "tests/emulator/run_process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

namespace varnix::emulator::testing {

// Hands a push to the checker, possibly doctored; runs on hand-off threads.
using PushFilter = std::function<void(vddhost::PushChecker&, const PushView&)>;

// What a test does at the turns of the session, on the test's thread.
struct SessionHooks {
    std::function<void()> declared;   // every device declared, none opened yet
    std::function<void()> streaming;  // halfway through the session
    std::function<void()> closed;     // after Shutdown and the last check of the pushes
};

struct InProcessCapture {
    vddhost::PluginEnvironment environment;
    TestHost host;
    std::unique_ptr<vddhost::PushChecker> checker;
    std::vector<vddhost::PushSink*> sinks;  // handed every checked push

    // Loads, publishes, instantiates, streams one session for `seconds`,
    // shuts down and checks what is left.
    void Run(double seconds, PushFilter filter = nullptr, const SessionHooks& hooks = {}) {
        vddhost::HostOptions options;
        options.modulePath = BinDir() + "/VarnixViconPlugin.vdd";
        ASSERT_EQ(vddhost::LoadEnvironment(options, environment), "");
        StartupSequence startup(host, environment.module);
        startup.RunThrough(StartupStep::kInstantiation);
        std::vector<std::string> names;
        for (size_t d = 0; d < host.DeviceCount(); ++d) names.push_back(host.Context(d).Name());
        checker = std::make_unique<vddhost::PushChecker>(
            environment.station, vddhost::LayOut(host.Definitions(), names, environment.station));
        for (vddhost::PushSink* sink : sinks) checker->AddSink(*sink);
        vddhost::PushChecker& target = *checker;
        host.Faults().SetPushHook([&target, filter](const PushView& push) {
            if (filter) {
                filter(target, push);
            } else {
                target.Enqueue(push);
            }
            return true;
        });
        startup.RunThrough(StartupStep::kDeclare);
        if (hooks.declared) hooks.declared();
        for (size_t d = 0; d < host.DeviceCount(); ++d) {
            host.SessionOpened(d);
            checker->NoteIndexReset(d);
        }
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds / 2));
        if (hooks.streaming) hooks.streaming();
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds / 2));
        for (size_t d = 0; d < host.DeviceCount(); ++d) host.SessionClosed(d);
        host.Shutdown(environment.module);
        checker->Drain();
        host.Faults().SetPushHook(nullptr);
        if (hooks.closed) hooks.closed();
    }
};

}  // namespace varnix::emulator::testing
