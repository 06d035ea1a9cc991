// The station object itself: the one instance, loading the profile (lazily,
// at the first call), reset, and the helpers every call shares.
#include "station.h"

#include "default_profile.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

namespace varnix::station {

namespace {

constexpr const char* kProfileVariable = "VARNIX_STATION_PROFILE";

bool ReadFile(const std::string& path, std::string& text, std::string& error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = "station profile " + path + ": (file): expected a readable file, got \"" +
                std::strerror(errno) + "\"";
        return false;
    }
    std::ostringstream content;
    content << file.rdbuf();
    text = content.str();
    return true;
}

}  // namespace

Station& Station::Get() {
    static Station* const station = new Station();
    return *station;
}

void Station::EnsureLoadedLocked() {
    if (loaded_) {
        return;
    }
    loaded_ = true;
    const char* path = std::getenv(kProfileVariable);
    std::string text;
    std::string source = "(default)";
    std::string error;
    if (path != nullptr && path[0] != '\0') {
        source = path;
        if (!ReadFile(source, text, error)) {
            RefuseProfileLocked(error);
            return;
        }
    } else {
        text = DefaultProfileText();
    }
    Profile profile;
    if (ParseProfile(text, source, profile, error)) {
        ApplyProfileLocked(profile);
    } else {
        RefuseProfileLocked(error);
    }
}

void Station::ApplyProfileLocked(const Profile& profile) {
    scriptMode_ = false;
    profileError_.clear();
    profile_ = profile;
    tables_ = TablesFromProfile(profile_);
    synthesizer_.Configure(profile_);
    session_ = Session{};
    scriptedPolls_.clear();
    ClearQueueLocked();
    TablesChangedLocked();
}

void Station::RefuseProfileLocked(const std::string& error) {
    std::fprintf(stderr, "%s\n", error.c_str());
    ApplyProfileLocked(Profile{});
    profileError_ = error;
    tables_.itemList.reset();
    TablesChangedLocked();
}

bool Station::LoadProfile(const std::string& json, const std::string& source, std::string& error) {
    Profile profile;
    const bool good = ParseProfile(json, source, profile, error);
    std::lock_guard<std::mutex> lock(mutex_);
    loaded_ = true;
    if (good) {
        ApplyProfileLocked(profile);
    } else {
        RefuseProfileLocked(error);
    }
    return good;
}

bool Station::LoadProfileFile(const std::string& path, std::string& error) {
    std::string text;
    if (!ReadFile(path, text, error)) {
        std::lock_guard<std::mutex> lock(mutex_);
        loaded_ = true;
        RefuseProfileLocked(error);
        return false;
    }
    return LoadProfile(text, path, error);
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
    // current_ is kept: a plug-in may still read the last frame it was given.
    EnsureLoadedLocked();
}

void Station::TablesChangedLocked() { geometryStale_ = true; }

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
