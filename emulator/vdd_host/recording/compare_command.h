// vdd-host compare: do two BDF+/EDF+ files hold the same recording?
#pragma once

#include "emulator/vdd_host/common/host_options.h"

namespace CLI {
class App;
}

namespace varnix::vddhost {

// [host] Adds the compare command and its two file arguments.
CLI::App* AddCompareCommand(CLI::App& app, HostOptions& options);

// [host] Compares two BDF+/EDF+ files (recording_comparison.h): 0 when they
// hold the same recording, 1 when they differ, 3 when one cannot be read.
int RunCompare(const HostOptions& options);

}  // namespace varnix::vddhost
