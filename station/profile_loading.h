// From a profile file, text or the environment to a profile ready to apply:
// its frame source made (a recording opened, for a replay).
#pragma once

#include "frame_source.h"
#include "profile.h"
#include "recording_player.h"
#include "replay_setup.h"

#include <memory>
#include <string>

namespace varnix::station {

struct PreparedProfile {
    Profile profile;
    std::unique_ptr<FrameSource> frames;
    RecordingPlayer* player = nullptr;  // frames, when it plays a recording
    ReplayPulses pulses;
};

// [any] Reads a profile file, or takes an EDF/BDF file as the replay of it.
// Blocks on the disk; allocates. False with one line in `error`.
bool ReadProfileFile(const std::string& path, Profile& profile, std::string& error);

// [any] The profile VARNIX_STATION_PROFILE names, else the built-in one.
bool ReadStartupProfile(Profile& profile, std::string& error);

// [any] Makes the profile's frame source (opening a recording for a
// replay; its warnings go to stderr). Takes no lock; blocks on the disk for
// a replay. False with `error`.
bool PrepareProfile(Profile profile, PreparedProfile& prepared, std::string& error);

}  // namespace varnix::station
