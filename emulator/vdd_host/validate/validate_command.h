// vdd-host validate: seeded, randomised host lifecycles, a process a round.
#pragma once

#include "emulator/vdd_host/common/host_options.h"

namespace CLI {
class App;
}

namespace varnix::vddhost {

// [host] Adds the validate command and its options to the command line.
CLI::App* AddValidateCommand(CLI::App& app, HostOptions& options);

// [host] Runs the drawn rounds, each in a forked process with a time limit,
// prints each round's result (and for a failed one the command that repeats
// it, what failed and the last host steps) and the verdict. Starts no
// thread. Returns the process exit code.
int RunValidate(const HostOptions& options);

}  // namespace varnix::vddhost
