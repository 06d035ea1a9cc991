// vdd-host's command line (CLI11): the commands describe, capture, compare
// and validate, each of which adds its own options (its folder's
// *_options.cpp or *_command.cpp).
#pragma once

#include "emulator/vdd_host/common/host_options.h"

namespace varnix::vddhost {

enum class Command { kNone, kDescribe, kCapture, kCompare, kValidate };

struct ParsedCommandLine {
    Command command = Command::kNone;
    HostOptions options;
    int exitCode = -1;  // >= 0: stop now with this code (help, usage error)
};

// [host] Parses argv; prints help or the usage error itself. Allocates.
ParsedCommandLine ParseCommandLine(int argc, char** argv);

// [host] Runs the command parsed; returns the process exit code.
int RunCommand(const ParsedCommandLine& parsed);

}  // namespace varnix::vddhost
