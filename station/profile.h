// A station profile: the sensors the simulated station reports, their
// channels and rates, the frame multiple, the signals, and scheduled trigger
// pulses. Read from JSON (profiles/README.md describes the format).
#pragma once

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
    std::string              name;        // request 0 on the channel's group id
    std::string              unit;        // request 2 on each of its items
    std::vector<std::string> components;  // request 0 on each item; one stream each
    SignalKind               signal = SignalKind::Emg;
    double                   value = 0.0;  // Constant only
};

struct SensorProfile {
    std::string                 name;  // request 3 on each of its items
    double                      rate = 0.0;  // samples per second of every stream
    std::vector<ChannelProfile> channels;
};

struct Profile {
    std::string                name;
    uint64_t                   seed = 1;
    int32_t                    frameMultiple = 1;
    size_t                     queueCapacity = 64;
    std::optional<int64_t>     startPulseAfterMs;  // after varnix_start
    std::optional<int64_t>     stopPulseAfterMs;   // after varnix_start
    std::vector<SensorProfile> sensors;            // "count" already expanded
};

// Parses a profile. `source` names it in messages (a path, or "(text)").
// On failure returns false and sets `error` to one line:
//   station profile <source>: <field path>: expected <what>, got <value>
// Allocates; never throws.
bool ParseProfile(const std::string& json, const std::string& source, Profile& out,
                  std::string& error);

}  // namespace varnix::station
