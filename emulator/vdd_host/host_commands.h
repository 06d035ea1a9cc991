// The things vdd-host does. Each returns the process exit code.
#pragma once

#include "emulator/vdd_host/host_options.h"

namespace varnix::vddhost {

// [host] Loads the module, asks for its definitions, prints them, shuts down.
int RunDescribe(const HostOptions& options);

// [host] Loads the module, runs the sessions, checks every push, prints the
// summary and the verdict.
int RunCapture(const HostOptions& options);

// [host] Compares two BDF+/EDF+ files (recording_comparison.h): 0 when they
// hold the same recording, 1 when they differ, 3 when one cannot be read.
int RunCompare(const HostOptions& options);

}  // namespace varnix::vddhost
