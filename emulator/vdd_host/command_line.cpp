#include "emulator/vdd_host/command_line.h"

#include "emulator/vdd_host/capture/capture_command.h"
#include "emulator/vdd_host/common/command_options.h"
#include "emulator/vdd_host/common/default_module.h"
#include "emulator/vdd_host/common/version_text.h"
#include "emulator/vdd_host/describe/describe_command.h"
#include "emulator/vdd_host/recording/compare_command.h"
#include "emulator/vdd_host/validate/validate_command.h"

#include <CLI/CLI.hpp>

namespace varnix::vddhost {

namespace {

const char* const kFooter = R"(Examples:
  vdd-host describe
  vdd-host capture --duration 5 --csv samples.csv --plot signals.svg
  vdd-host capture --duration 600 --edf session.bdf   open it in EDFbrowser or MNE-Python
  vdd-host capture --profile profiles/sensors16.json --sessions 3
  vdd-host capture --hold-push 50      watch the plug-in cope with a slow host
  vdd-host capture --replay session.bdf --edf replay.bdf   play a recording back through the plug-in
  vdd-host compare session.bdf replay.bdf   the same samples, rates, labels, units, annotations?
  vdd-host validate --rounds 20 --strictness 3   randomised host lifecycles, a process each

Ctrl-C (or SIGTERM) ends a capture early the way the end of its time does:
the session is closed, the plug-in shut down, every file completed and the
summary printed; a second Ctrl-C quits at once.

Exit codes:
  0  the capture ran and every check passed (nothing lost, nothing altered)
  1  a check failed or samples were lost; the reason is on the last line
  2  usage error (unknown option, bad value, an output file that cannot be written)
  3  environment error: module not found, not a plug-in, station library
     missing, station profile broken
  130  stopped early by Ctrl-C (143: by SIGTERM); the summary says how far it got

The host counts time in nanoseconds (timebase 1000000000 ticks per second),
so a device's declared period is nanoseconds per sample; its start code is 7.
Host API version 2 is offered in the handshake. Documentation: docs/vdd-host.md)";

// [host] CLI11's help, version and usage errors, printed; the exit code they
// ask for.
int ExitFor(CLI::App& app, const CLI::Error& error) {
    const int code = app.exit(error);
    return error.get_exit_code() == 0 ? code : kExitUsage;
}

}  // namespace

ParsedCommandLine ParseCommandLine(int argc, char** argv) {
    ParsedCommandLine parsed;
    HostOptions& options = parsed.options;
    CLI::App app{
        VersionLine() +
            ": a capture host for device plug-ins. It loads a plug-in module beside its "
            "station library, drives it through the host lifecycle, checks every sample block it "
            "pushes against what the station delivered, and shows the result.",
        "vdd-host"};
    app.footer(kFooter);
    app.require_subcommand(1);
    app.set_version_flag("--version", VersionLine(), "Print the version and the commit, then exit");
    CLI::App* describe = AddDescribeCommand(app, options);
    AddCaptureCommand(app, options);
    CLI::App* compare = AddCompareCommand(app, options);
    CLI::App* validate = AddValidateCommand(app, options);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        parsed.exitCode = ExitFor(app, error);
        return parsed;
    }
    parsed.command = describe->parsed()   ? Command::kDescribe
                     : compare->parsed()  ? Command::kCompare
                     : validate->parsed() ? Command::kValidate
                                          : Command::kCapture;
    if (options.modulePath.empty()) options.modulePath = DefaultModulePath(ExecutableDirectory());
    return parsed;
}

int RunCommand(const ParsedCommandLine& parsed) {
    switch (parsed.command) {
        case Command::kDescribe:
            return RunDescribe(parsed.options);
        case Command::kCompare:
            return RunCompare(parsed.options);
        case Command::kValidate:
            return RunValidate(parsed.options);
        default:
            return RunCapture(parsed.options);
    }
}

}  // namespace varnix::vddhost
