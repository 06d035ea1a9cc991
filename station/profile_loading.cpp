#include "profile_loading.h"

#include "contract/base_frame.h"
#include "default_profile.h"
#include "frame_synthesizer.h"
#include "frames_made_ahead.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <system_error>

namespace varnix::station {

namespace {

constexpr const char* kProfileVariable = "VARNIX_STATION_PROFILE";
// The version field an EDF or BDF file starts with.
constexpr char kEdfVersion[] = "0       ";
constexpr char kBdfVersion[] =
    "\xff"
    "BIOSEMI";
constexpr size_t kVersionBytes = 8;

}  // namespace

bool ReadProfileFile(const std::string& path, Profile& profile, std::string& error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = "station profile " + path + ": (file): expected a readable file, got \"" +
                std::generic_category().message(errno) + "\"";
        return false;
    }
    // A recording is not read here, only recognised: a replay reads it as it plays.
    char version[kVersionBytes] = {};
    file.read(version, kVersionBytes);
    const std::string start(version, static_cast<size_t>(file.gcount()));
    if (start == kEdfVersion || start == kBdfVersion) {
        profile = Profile{};
        profile.replay = ReplayProfile{};
        profile.replay->path = path;
        return true;
    }
    file.clear();
    file.seekg(0);
    std::ostringstream content;
    content << file.rdbuf();
    return ParseProfile(content.str(), path, profile, error);
}

bool ReadStartupProfile(Profile& profile, std::string& error) {
    const char* path = std::getenv(kProfileVariable);
    if (path != nullptr && path[0] != '\0') return ReadProfileFile(path, profile, error);
    return ParseProfile(DefaultProfileText(), "(default)", profile, error);
}

bool PrepareProfile(Profile profile, PreparedProfile& prepared, std::string& error) {
    if (profile.replay) {
        PreparedReplay replay;
        if (!PrepareReplay(profile, replay, error)) return false;
        for (const std::string& warning : replay.warnings) {
            std::fprintf(stderr, "%s\n", warning.c_str());
        }
        prepared.player = replay.player.get();
        prepared.frames = std::move(replay.player);
        prepared.pulses = replay.pulses;
    } else {
        auto synthesizer = std::make_unique<FrameSynthesizer>();
        synthesizer->Configure(profile);
        // The next frame is made half a frame after the clock took the one
        // before: ready when it is due, out of the way of the hand-out.
        const std::chrono::nanoseconds halfFrame(int64_t{profile.frameMultiple} *
                                                 kBaseFramePeriodNs / 2);
        prepared.frames = std::make_unique<FramesMadeAhead>(std::move(synthesizer), halfFrame);
    }
    prepared.profile = std::move(profile);
    return true;
}

}  // namespace varnix::station
