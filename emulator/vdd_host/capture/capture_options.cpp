#include "emulator/vdd_host/capture/capture_command.h"

#include "emulator/host_operations.h"
#include "emulator/vdd_host/common/command_options.h"
#include "emulator/vdd_host/common/unit_names.h"
#include "emulator/vdd_host/recording/edf_recorder.h"
#include "emulator/vdd_host/recording/physical_ranges.h"

#include <CLI/CLI.hpp>

#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

namespace varnix::vddhost {

namespace {

// The files a capture writes: --csv, --plot, --edf and --range.
void AddOutputOptions(CLI::App& capture, HostOptions& options) {
    capture
        .add_option("--csv", options.csvPath,
                    "Write every received sample to FILE: "
                    "session,device,channel,component,unit,sample,value")
        ->type_name("FILE");
    capture
        .add_option("--plot", options.plotPath,
                    "Draw the received signals to FILE (SVG): one strip per channel component")
        ->type_name("FILE");
    capture
        .add_option(
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
        .add_option(
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
}

// Options that make the host misbehave.
void AddRehearsalOptions(CLI::App& capture, HostOptions& options) {
    auto* rehearsals = capture.add_option_group(
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
        ->check(CLI::IsMember(std::vector<std::string>(std::begin(emulator::op::kFailable),
                                                       std::end(emulator::op::kFailable))));
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
}

}  // namespace

CLI::App* AddCaptureCommand(CLI::App& app, HostOptions& options) {
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
    AddOutputOptions(*capture, options);
    AddRehearsalOptions(*capture, options);
    return capture;
}

}  // namespace varnix::vddhost
