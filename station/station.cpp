// The station object itself: the one instance, loading the profile (lazily,
// at the first call), reset, and the helpers every call shares.
#include "station.h"

#include "default_profile.h"
#include "frame_synthesizer.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <system_error>
#include <thread>

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

Station& Station::Get() {
    static Station* const station = new Station();
    return *station;
}

bool Station::ReadProfileFile(const std::string& path, Profile& profile, std::string& error) {
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

bool Station::Prepare(Profile profile, PreparedProfile& prepared, std::string& error) {
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
        prepared.frames = std::move(synthesizer);
    }
    prepared.profile = std::move(profile);
    return true;
}

void Station::EnsureLoadedLocked() {
    if (loaded_) {
        return;
    }
    loaded_ = true;
    const char* path = std::getenv(kProfileVariable);
    Profile profile;
    std::string error;
    bool parsed = false;
    if (path != nullptr && path[0] != '\0') {
        parsed = ReadProfileFile(path, profile, error);
    } else {
        parsed = ParseProfile(DefaultProfileText(), "(default)", profile, error);
    }
    LoadLocked(parsed, std::move(profile), std::move(error));
}

void Station::LoadLocked(bool parsed, Profile profile, std::string error) {
    PreparedProfile prepared;
    if (parsed && Prepare(std::move(profile), prepared, error)) {
        ApplyProfileLocked(std::move(prepared));
    } else {
        RefuseProfileLocked(error);
    }
}

void Station::ApplyProfileLocked(PreparedProfile prepared) {
    scriptMode_ = false;
    profileError_.clear();
    profile_ = std::move(prepared.profile);
    tables_ = TablesFromProfile(profile_);
    frames_ = std::move(prepared.frames);
    player_ = prepared.player;
    replayPulses_ = prepared.pulses;
    timing_.Configure(profile_.timing, profile_.seed);
    session_ = Session{};
    scriptedPolls_.clear();
    ClearQueueLocked();
    TablesChangedLocked();
}

void Station::RefuseProfileLocked(const std::string& error) {
    std::fprintf(stderr, "%s\n", error.c_str());
    PreparedProfile empty;
    std::string ignored;
    Prepare(Profile{}, empty, ignored);
    ApplyProfileLocked(std::move(empty));
    profileError_ = error;
    tables_.itemList.reset();
    TablesChangedLocked();
}

bool Station::LoadProfile(const std::string& json, const std::string& source, std::string& error) {
    Profile profile;
    PreparedProfile prepared;
    const bool good =
        ParseProfile(json, source, profile, error) && Prepare(std::move(profile), prepared, error);
    std::lock_guard<std::mutex> lock(mutex_);
    loaded_ = true;
    if (good) {
        ApplyProfileLocked(std::move(prepared));
    } else {
        RefuseProfileLocked(error);
    }
    return good;
}

bool Station::LoadProfileFile(const std::string& path, std::string& error) {
    Profile profile;
    PreparedProfile prepared;
    const bool good =
        ReadProfileFile(path, profile, error) && Prepare(std::move(profile), prepared, error);
    std::lock_guard<std::mutex> lock(mutex_);
    loaded_ = true;
    if (good) {
        ApplyProfileLocked(std::move(prepared));
    } else {
        RefuseProfileLocked(error);
    }
    return good;
}

std::string Station::LastProfileError() {
    std::lock_guard<std::mutex> lock(mutex_);
    EnsureLoadedLocked();
    return profileError_;
}

void Station::Reset() {
    std::lock_guard<std::mutex> lock(mutex_);
    ResetLocked();
}

void Station::ResetLocked() {
    loaded_ = false;
    scriptMode_ = false;
    scriptedPolls_.clear();
    configureResult_ = 1;
    faults_ = Faults{};
    slowMs_.store(0);
    logPolls_.store(false);
    delivered_.Clear();
    counters_ = VarnixSimCounters{};
    objectsCreated_.store(0);
    objectsDeleted_.store(0);
    calls_.Clear();
    pulses_.Clear();
    // current_ is kept: a plug-in may still read the last frame it was given.
    EnsureLoadedLocked();
}

void Station::TablesChangedLocked() {
    geometryStale_ = true;
}

bool Station::AnswersLocked() const {
    return !faults_.disconnected && (scriptMode_ || profileError_.empty());
}

void Station::SleepIfSlow() const {
    const int64_t ms = slowMs_.load();
    if (ms > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
}

void Station::Log(const char* function, const std::string& arguments) {
    calls_.Record(function, arguments);
}

}  // namespace varnix::station
