// Shutdown while streaming, then dlclose, again and again: no crash, no hang,
// no plug-in thread alive once Shutdown returned, none left running code of
// an unloaded module.
#include "tests/e2e/e2e_support.h"
#include "tests/support/plugin_threads.h"

#include <dlfcn.h>

TEST(EndToEnd, ShutdownWhileStreamingThenUnloadHundredTimes) {
    constexpr int kRounds = 100;
    for (int round = 0; round < kRounds; ++round) {
        VarnixSim_Reset();  // the simulated default station streams in real time
        varnix::emulator::PluginModule module;
        {
            varnix::emulator::TestHost host;
            scenario::ShutdownOnEarlyExit guard(host, module);
            e2e::BringUp(host, module);
            if (HasFatalFailure()) return;
            ASSERT_TRUE(e2e::Eventually([&] { return host.Context(0).PushCount() > 0; }))
                << "round " << round << ": no frame arrived";
            host.Shutdown(module);
            ASSERT_EQ(plugin_threads::PluginThreadCount(), 0u)
                << "round " << round << ": a plug-in thread outlived Shutdown";
            ASSERT_EQ(host.Monitor().Count(), 0u) << "round " << round << "\n"
                                                  << e2e::Violations(host);
        }
        ASSERT_TRUE(module.Unload()) << "round " << round << ": " << module.ErrorText();
        // Really gone: a thread still running its code would now crash the test.
        void* still = dlopen(e2e::ModulePath().c_str(), RTLD_NOW | RTLD_NOLOAD);
        ASSERT_EQ(still, nullptr) << "round " << round << ": the module stayed loaded";
    }
}
