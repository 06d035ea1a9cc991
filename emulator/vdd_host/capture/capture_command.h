// vdd-host capture: run sessions, check every push, write the outputs.
#pragma once

#include "emulator/vdd_host/common/host_options.h"

namespace CLI {
class App;
}

namespace varnix::vddhost {

// [host] Adds the capture command and its options to the command line.
CLI::App* AddCaptureCommand(CLI::App& app, HostOptions& options);

// [host] Loads the module, runs the sessions, checks every push, prints the
// summary and the verdict. Returns the process exit code.
int RunCapture(const HostOptions& options);

}  // namespace varnix::vddhost
