// vdd-host describe: what the module publishes.
#pragma once

#include "emulator/vdd_host/common/host_options.h"

namespace CLI {
class App;
}

namespace varnix::vddhost {

// [host] Adds the describe command and its options to the command line.
CLI::App* AddDescribeCommand(CLI::App& app, HostOptions& options);

// [host] Loads the module, asks for its definitions, prints them, shuts
// down. Returns the process exit code.
int RunDescribe(const HostOptions& options);

}  // namespace varnix::vddhost
