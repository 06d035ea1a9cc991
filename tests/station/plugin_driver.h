// The station tests' view of the real module: the shared scenario steps.
#pragma once

#include "station_client.h"
#include "tests/support/plugin_scenario.h"

namespace station_test {

using scenario::Eventually;
using scenario::ModulePath;
using scenario::Publish;
using scenario::PushesReach;
using scenario::TotalPushes;
using scenario::Violations;

// Every device attached, declared, ready and its session opened.
inline void Declare(varnix::emulator::TestHost& host) {
    scenario::DeclareAll(host, /*open=*/true);
}

}  // namespace station_test
