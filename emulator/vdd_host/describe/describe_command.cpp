#include "emulator/vdd_host/describe/describe_command.h"

#include "emulator/contract_monitor.h"
#include "emulator/module_version.h"
#include "emulator/startup_sequence.h"
#include "emulator/test_host.h"
#include "emulator/vdd_host/common/command_options.h"
#include "emulator/vdd_host/common/host_setup.h"
#include "emulator/vdd_host/common/plugin_environment.h"
#include "emulator/vdd_host/describe/describe_table.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <iostream>

namespace varnix::vddhost {

CLI::App* AddDescribeCommand(CLI::App& app, HostOptions& options) {
    CLI::App* describe = app.add_subcommand(
        "describe",
        "Print the device definitions the module publishes: devices, outputs with unit "
        "codes, components, parameters, signals");
    AddCommonOptions(*describe, options);
    return describe;
}

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
    emulator::StartupSequence startup(host, module, {kHostApiVersion});
    startup.RunThrough(emulator::StartupStep::kDefinitions);
    const int32_t version = startup.PluginVersion();
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
