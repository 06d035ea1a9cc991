#include "emulator/contract_monitor.h"
#include "emulator/module_version.h"
#include "emulator/test_host.h"
#include "emulator/vdd_host/describe_table.h"
#include "emulator/vdd_host/host_commands.h"
#include "emulator/vdd_host/host_setup.h"
#include "emulator/vdd_host/plugin_environment.h"

#include <cstdio>
#include <iostream>

namespace varnix::vddhost {

int RunDescribe(const HostOptions& options) {
    PluginEnvironment environment;
    const std::string problem = LoadEnvironment(options, environment);
    if (!problem.empty()) {
        std::cerr << "vdd-host: " << problem << "\n";
        return kExitEnvironment;
    }
    emulator::TestHost host;
    ConfigureHost(host, options, stderr);
    emulator::PluginModule& module = environment.module;
    const int32_t version = host.Handshake(module, kHostApiVersion);
    host.Initialise(module);
    host.ProvideDefinitions(module);
    const auto definitions = host.Definitions();
    host.Shutdown(module);

    if (!options.quiet) {
        // Read from the files, not asked of the loaded code.
        const std::string stationPath = environment.station.Path();
        std::cout << "module: " << module.Path() << " ("
                  << emulator::DescribeFileVersion(emulator::ReadFileVersion(module.Path()))
                  << "; plug-in API version " << version << ")\n"
                  << "station: " << stationPath << " ("
                  << (environment.station.Simulated()
                          ? "simulated, profile " + environment.profileName
                          : std::string("no simulation exports"))
                  << "; " << emulator::DescribeFileVersion(emulator::ReadFileVersion(stationPath))
                  << ")\n\n";
        PrintDefinitions(definitions, std::cout);
        for (const emulator::LogLine& line : host.LogLines()) {
            if (line.level >= 3) std::cout << "plug-in error: " << line.text << "\n";
        }
    }
    module.Unload();
    const auto violations = host.Monitor().Violations();
    for (const emulator::Violation& violation : violations) {
        std::cerr << "vdd-host: violation " << emulator::Describe(violation) << "\n";
    }
    if (!violations.empty()) {
        std::cout << "vdd-host: FAIL: " << host.Monitor().Count()
                  << " contract violations while publishing\n";
        return kExitCheckFailed;
    }
    return kExitOk;
}

}  // namespace varnix::vddhost
