// vdd-host's command line (CLI11): the commands describe, capture, compare and validate.
#pragma once

#include "emulator/vdd_host/host_options.h"

#include <string>

namespace varnix::vddhost {

enum class Command { kNone, kDescribe, kCapture, kCompare, kValidate };

struct ParsedCommandLine {
    Command command = Command::kNone;
    HostOptions options;
    int exitCode = -1;  // >= 0: stop now with this code (help, usage error)
};

// [host] Parses argv; prints help or the usage error itself. Allocates.
ParsedCommandLine ParseCommandLine(int argc, char** argv);

// The directory holding the running executable ("." when unknown).
std::string ExecutableDirectory();

}  // namespace varnix::vddhost
