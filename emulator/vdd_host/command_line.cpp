#include "emulator/vdd_host/command_line.h"

#include "emulator/vdd_host/default_module.h"
#include "emulator/vdd_host/edf_recorder.h"
#include "emulator/vdd_host/physical_ranges.h"
#include "emulator/vdd_host/unit_names.h"
#include "emulator/vdd_host/version_text.h"

#include <CLI/CLI.hpp>

#include <unistd.h>
#include <climits>
#include <iostream>

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

void AddCommonOptions(CLI::App& command, HostOptions& options) {
    command
        .add_option("-m,--module", options.modulePath,
                    "Device plug-in module to load (default: VarnixViconPlugin.vdd beside "
                    "vdd-host, else in "
                    "../lib/varnix-vdd/ from it, where the package installs it)")
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

// ---- validate ----------------------------------------------------------------

const char* const kValidateFooter =
    R"(Each round runs in a process of its own with a time limit; the seed and the
round number fix everything the host does in it. A failed round prints the
command that repeats it (vdd-host validate --seed S --round R), what failed
and the last host steps. Exit codes: 0 every round passed, 1 a round failed
(crashed, hung, broke the contract, lost or altered samples, left something
behind), 2 usage error, 3 module or station not found; 130 after Ctrl-C.
The round model and its weights: docs/vdd-host.md)";

CLI::App* AddValidateCommand(CLI::App& app, HostOptions& options) {
    CLI::App* validate = app.add_subcommand(
        "validate",
        "Drive the plug-in through randomised host lifecycles, each round in its own process, and "
        "check every one: no crash, no hang, no contract violation, nothing lost or left behind");
    validate->footer(kValidateFooter);
    validate
        ->add_option("-m,--module", options.modulePath,
                     "Device plug-in module to validate (default: VarnixViconPlugin.vdd beside "
                     "vdd-host, else in "
                     "../lib/varnix-vdd/ from it)")
        ->type_name("PATH");
    validate->add_option("--seed", options.seed, "Seed of the rounds (default: drawn, and printed)")
        ->type_name("S");
    validate->add_option("--rounds", options.rounds, "Rounds to run (default 10)")
        ->type_name("N")
        ->check(CLI::Range(1, 1000000));
    validate
        ->add_option("--strictness", options.strictness,
                     "1..10: longer rounds and more hostile host steps as it rises (default 5)")
        ->type_name("1..10")
        ->check(CLI::Range(1, 10));
    validate
        ->add_option("--round", options.round,
                     "Run round R only: with --seed, repeats a failed round")
        ->type_name("R")
        ->check(CLI::Range(1, 1000000));
    validate
        ->add_option("--timeout", options.roundTimeoutS,
                     "Seconds a round may take before it counts as hung (default: 30 + 5 x its "
                     "planned time)")
        ->type_name("SECONDS")
        ->check(CLI::PositiveNumber);
    validate->add_flag("--trace", options.trace,
                       "Print the host log of every round: every call between host and plug-in");
    validate->add_flag("-q,--quiet", options.quiet, "Print only failed rounds and the verdict");
    return validate;
}

}  // namespace

std::string ExecutableDirectory() {
    char path[PATH_MAX] = {};
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return ".";
    std::string full(path, static_cast<size_t>(length));
    const size_t slash = full.rfind('/');
    return slash == std::string::npos ? "." : full.substr(0, slash);
}

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

    CLI::App* describe = app.add_subcommand(
        "describe",
        "Print the device definitions the module publishes: devices, outputs with unit "
        "codes, components, parameters, signals");
    AddCommonOptions(*describe, options);

    CLI::App* capture = app.add_subcommand(
        "capture", "Run capture sessions, check every push, print a summary per device");
    AddCommonOptions(*capture, options);
    capture
        ->add_option("-d,--duration", options.durationS,
                     "Seconds to stream in each session (default 2)")
        ->type_name("SECONDS")
        ->check(CLI::PositiveNumber);
    capture
        ->add_option("-n,--sessions", options.sessions,
                     "Sessions to run one after the other (default 1)")
        ->type_name("N")
        ->check(CLI::Range(1, 1000));
    capture->add_flag("--start-trigger", options.startTrigger,
                      "Set the StartTrigger parameter: the station waits for a start pulse");
    capture->add_flag("--stop-trigger", options.stopTrigger,
                      "Set the StopTrigger parameter: the station stops at a stop pulse");
    capture->add_flag("--trigger-outputs", options.triggerOutputs,
                      "Set the TriggerOutputs parameter");
    capture
        ->add_option("--start-pulse-after", options.startPulseAfterS,
                     "Simulated station: pulse its start input this many seconds into each session")
        ->type_name("SECONDS")
        ->check(CLI::NonNegativeNumber);
    capture
        ->add_option("--stop-pulse-after", options.stopPulseAfterS,
                     "Simulated station: pulse its stop input this many seconds into each session")
        ->type_name("SECONDS")
        ->check(CLI::NonNegativeNumber);
    capture
        ->add_option("--csv", options.csvPath,
                     "Write every received sample to FILE: "
                     "session,device,channel,component,unit,sample,value")
        ->type_name("FILE");
    capture
        ->add_option("--plot", options.plotPath,
                     "Draw the received signals to FILE (SVG): one strip per channel component")
        ->type_name("FILE");
    capture
        ->add_option(
            "--edf", options.edfPath,
            "Write each session to FILE as BDF+ (.bdf, 24-bit, recommended for EMG) or EDF+ (.edf, "
            "16-bit), one signal per stream, with annotations; several sessions: FILE-s1.bdf, "
            "FILE-s2.bdf ...")
        ->type_name("FILE")
        ->check([](const std::string& path) {
            EdfKind kind;
            return EdfRecorder::KindOf(path, kind)
                       ? std::string()
                       : "--edf " + path +
                             ": name the file .bdf (BDF+, 24-bit, recommended for EMG) or .edf "
                             "(EDF+, 16-bit)";
        });
    std::string unitNames;
    for (const UnitInfo& unit : Units())
        unitNames += (unitNames.empty() ? "" : ", ") + std::string(unit.name);
    capture
        ->add_option(
            "--range", options.ranges,
            "Physical range of UNIT's signals in the --edf file (repeatable); values outside are "
            "clipped, "
            "counted and annotated. UNIT is one of " +
                unitNames +
                "; defaults: V=-0.011:0.011, other=-2000:2000 (docs/vdd-host.md has them all)")
        ->type_name("UNIT=MIN:MAX")
        ->check([](const std::string& argument) {
            RangeOverrides ranges;
            return ParseRange(argument, ranges);
        });
    auto* rehearsals = capture->add_option_group(
        "Rehearsals", "Make the host misbehave and watch the plug-in cope");
    rehearsals
        ->add_option("--refuse-device", options.refuseDevices,
                     "Refuse to register the device NAME (repeatable; 'all' refuses every device)")
        ->type_name("NAME");
    rehearsals
        ->add_option("--fail", options.failOperations,
                     "Fail every call of host operation OP, e.g. PushSamples, GetParameterValue "
                     "(repeatable)")
        ->type_name("OP")
        ->check(CLI::IsMember({"DefineDevice", "AddBoolParameter", "AddSignal", "AddOutput",
                               "AddComponent", "Commit", "RegisterDevice", "GetParameterValue",
                               "FillEntries", "PushSamples", "SetPeriod", "DeclareSignal",
                               "SetValueCount"}));
    rehearsals->add_flag("--fail-all", options.failAll, "Fail every host operation that can fail");
    rehearsals
        ->add_option("--hold-push", options.holdPushMs,
                     "Hold every push this many milliseconds before returning")
        ->type_name("MS")
        ->check(CLI::Range(int64_t{0}, int64_t{600000}));
    rehearsals
        ->add_option("--hold-device", options.holdDevice,
                     "Hold the pushes of this device only (with --hold-push)")
        ->type_name("NAME");
    rehearsals->add_flag("--set-value", options.parameterBySetValue,
                         "Fill parameter values with SetValue instead of their 8-byte form");

    CLI::App* compare = app.add_subcommand(
        "compare",
        "Compare two BDF+/EDF+ files sample by sample: a recording and its replay "
        "(rates, labels, units, ranges, every sample, the annotations but the session start)");
    compare->add_option("files", options.comparePaths, "The two files")
        ->type_name("FILE FILE")
        ->expected(2)
        ->required()
        ->check(CLI::ExistingFile);

    CLI::App* validate = AddValidateCommand(app, options);

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& help) {
        parsed.exitCode = app.exit(help);
        return parsed;
    } catch (const CLI::CallForAllHelp& help) {
        parsed.exitCode = app.exit(help);
        return parsed;
    } catch (const CLI::CallForVersion& version) {
        parsed.exitCode = app.exit(version);
        return parsed;
    } catch (const CLI::ParseError& error) {
        app.exit(error);
        parsed.exitCode = kExitUsage;
        return parsed;
    }
    parsed.command = describe->parsed()   ? Command::kDescribe
                     : compare->parsed()  ? Command::kCompare
                     : validate->parsed() ? Command::kValidate
                                          : Command::kCapture;
    if (options.modulePath.empty()) options.modulePath = DefaultModulePath(ExecutableDirectory());
    return parsed;
}

}  // namespace varnix::vddhost
