// A station profile: the sensors the simulated station reports, their
// channels and rates, the frame multiple, the signals, and scheduled trigger
// pulses; or a recording to replay instead. Read from JSON
// (profiles/README.md describes the format).
#pragma once

#include "frame_timing.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace varnix::station {

// What a channel's streams carry.
enum class SignalKind {
    Emg,       // band-limited noise under activation bursts, volts
    Acc,       // gravity + slow movement + noise, g
    Gyro,      // slow rotation + noise, deg/s
    Ramp,      // the stream's sample number since start: 0, 1, 2 ...
    Constant,  // `value` in every sample
};

struct ChannelProfile {
    std::string name;                     // request 0 on the channel's group id
    std::string unit;                     // request 2 on each of its items
    std::vector<std::string> components;  // request 0 on each item; one stream each
    SignalKind signal = SignalKind::Emg;
    double value = 0.0;  // Constant only
};

struct SensorProfile {
    std::string name;   // request 3 on each of its items
    double rate = 0.0;  // samples per second of every stream
    std::vector<ChannelProfile> channels;
};

// How a replay groups a recording's signals into sensors, channels and
// components (profiles/README.md, "Replay").
enum class GroupRule {
    kAuto,    // kNames when every signal's transducer holds three names, else kSignal
    kNames,   // transducer "<sensor>|<channel>|<component>", as vdd-host writes it
    kSignal,  // one sensor per signal, named by its label
    kLabel,   // label "<sensor> <component>": the last word is the component
};

// A recording that the station plays back instead of making up signals.
struct ReplayProfile {
    std::string path;                      // the EDF(+)/BDF(+) file
    bool loop = false;                     // at its end: start again, or fall silent
    std::optional<int32_t> frameMultiple;  // else the file's own note, else 1
    GroupRule group = GroupRule::kAuto;
    double fromS = 0.0;  // where in the recording to begin
};

struct Profile {
    std::string name;
    uint64_t seed = 1;
    int32_t frameMultiple = 1;
    size_t queueCapacity = 64;
    std::optional<int64_t> startPulseAfterMs;  // after varnix_start
    std::optional<int64_t> stopPulseAfterMs;   // after varnix_start
    std::vector<SensorProfile> sensors;        // "count" already expanded
    std::optional<ReplayProfile> replay;       // set: sensors come from the recording
    TimingOptions timing;                      // the station's clock and delivery
};

// Parses a profile. `source` names it in messages (a path, or "(text)").
// On failure returns false and sets `error` to one line:
//   station profile <source>: <field path>: expected <what>, got <value>
// Allocates; never throws.
bool ParseProfile(const std::string& json, const std::string& source, Profile& out,
                  std::string& error);

}  // namespace varnix::station
