#include "emulator/vdd_host/common/command_options.h"

#include <CLI/CLI.hpp>

#include <unistd.h>
#include <climits>

namespace varnix::vddhost {

void AddCommonOptions(CLI::App& command, HostOptions& options) {
    command
        .add_option("-m,--module", options.modulePath,
                    "Device plug-in module to load (default: VarnixViconPlugin.vdd beside "
                    "vdd-host, else in ../lib/varnix-vdd/ from it, where the package installs it)")
        ->type_name("PATH");
    command
        .add_option("-p,--profile", options.profilePath,
                    "Station profile (JSON) for the simulated station beside the module; "
                    "sets VARNIX_STATION_PROFILE (default: the station's built-in profile)")
        ->type_name("FILE");
    command
        .add_option(
            "--replay", options.replayPath,
            "Simulated station: play back this BDF+/EDF+ recording (as vdd-host --edf writes "
            "it) instead of a profile; for options such as looping, name the recording in a "
            "replay profile instead (profiles/README.md)")
        ->type_name("FILE")
        ->excludes(command.get_option("--profile"));
    command.add_flag("--trace", options.trace,
                     "Print the host log: every call between host and plug-in");
    command.add_flag("-q,--quiet", options.quiet, "Print only the final verdict line and errors");
}

std::string ExecutableDirectory() {
    char path[PATH_MAX] = {};
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return ".";
    std::string full(path, static_cast<size_t>(length));
    const size_t slash = full.rfind('/');
    return slash == std::string::npos ? "." : full.substr(0, slash);
}

}  // namespace varnix::vddhost
