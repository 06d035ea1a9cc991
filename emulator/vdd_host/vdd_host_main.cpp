// vdd-host: a capture host for device plug-ins. See docs/vdd-host.md.
#include "emulator/vdd_host/command_line.h"

#include <exception>
#include <iostream>

int main(int argc, char** argv) {
    using namespace varnix::vddhost;
    try {
        const ParsedCommandLine parsed = ParseCommandLine(argc, argv);
        if (parsed.exitCode >= 0) return parsed.exitCode;
        return RunCommand(parsed);
    } catch (const std::exception& error) {
        std::cerr << "vdd-host: FAIL: " << error.what() << "\n";
        return kExitCheckFailed;
    }
}
