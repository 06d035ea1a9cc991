// Everything vdd-host is told on its command line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace varnix::vddhost {

// The host's choices, documented in `vdd-host --help` and docs/vdd-host.md.
constexpr uint32_t kHostTimebase = 1000000000u;  // ticks per second: the host counts nanoseconds
constexpr int32_t kHostStartCode = 7;            // the code the host's start signal carries
constexpr int32_t kHostApiVersion = 2;

// Exit codes.
constexpr int kExitOk = 0;
constexpr int kExitCheckFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitEnvironment = 3;

struct HostOptions {
    std::string modulePath;   // default: VarnixViconPlugin.vdd beside vdd-host
    std::string profilePath;  // empty: the station's own default
    bool quiet = false;
    bool trace = false;  // print the host log (plug-in Log lines and every host call)

    // capture only
    double durationS = 2.0;
    int sessions = 1;
    bool startTrigger = false;
    bool stopTrigger = false;
    bool triggerOutputs = false;
    std::optional<double> startPulseAfterS;  // simulated station: pulse its start input
    std::optional<double> stopPulseAfterS;
    std::string csvPath;
    std::string plotPath;
    std::string edfPath;              // .bdf: BDF+, .edf: EDF+
    std::vector<std::string> ranges;  // "UNIT=MIN:MAX", checked by the parser

    // rehearsals
    std::vector<std::string> refuseDevices;   // device names, or "all"
    std::vector<std::string> failOperations;  // operation names
    bool failAll = false;
    int64_t holdPushMs = 0;
    std::string holdDevice;  // empty: every device
    bool parameterBySetValue = false;

    // replay: the simulated station plays this EDF(+)/BDF(+) recording back
    // (sets VARNIX_STATION_PROFILE to it; excludes profilePath)
    std::string replayPath;
    // compare only: the two BDF+/EDF+ files
    std::vector<std::string> comparePaths;

    // validate only
    std::optional<uint64_t> seed;  // empty: drawn when validate starts, and printed
    int rounds = 10;
    int strictness = 5;                   // 1..10
    std::optional<int> round;             // run this round only
    std::optional<double> roundTimeoutS;  // empty: from each round's plan
};

}  // namespace varnix::vddhost
