// The end-to-end scenarios' steps: the shared scenario steps, plus bringing
// the module all the way up to ready devices.
#pragma once

#include "tests/support/plugin_scenario.h"

namespace e2e {

using scenario::Eventually;
using scenario::ModulePath;
using scenario::StationCallNames;
using scenario::Violations;

// Handshake, Initialise, definitions, instantiation, then every device
// attached and declared, and ready.
inline void BringUp(varnix::emulator::TestHost& host, varnix::emulator::PluginModule& module) {
    scenario::Publish(host, module);
    if (::testing::Test::HasFatalFailure()) return;
    scenario::DeclareAll(host, /*open=*/false);
}

}  // namespace e2e
