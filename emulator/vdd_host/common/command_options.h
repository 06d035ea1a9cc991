// What the commands' command lines share: the module, the station's profile
// or recording, --trace and --quiet, and where the module is looked for.
#pragma once

#include "emulator/vdd_host/common/host_options.h"

#include <string>

namespace CLI {
class App;
}

namespace varnix::vddhost {

// [host] Adds --module, --profile, --replay, --trace and --quiet to a command.
void AddCommonOptions(CLI::App& command, HostOptions& options);

// The directory holding the running executable ("." when unknown).
std::string ExecutableDirectory();

}  // namespace varnix::vddhost
