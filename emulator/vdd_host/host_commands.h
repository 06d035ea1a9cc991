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

// [host] Runs the drawn rounds, each in a forked process with a time limit,
// prints each round's result (and for a failed one the command that repeats
// it, what failed and the last host steps) and the verdict. Starts no thread.
int RunValidate(const HostOptions& options);

}  // namespace varnix::vddhost
