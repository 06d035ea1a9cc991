// The station object itself: the one instance, loading profiles and reset.
#include "station.h"

namespace varnix::station {

Station& Station::Get() {
    static Station* const station = new Station();
    return *station;
}

bool Station::Load(const std::function<bool(Profile&, std::string&)>& read, std::string& error) {
    Profile profile;
    PreparedProfile prepared;
    const bool good = read(profile, error) && PrepareProfile(std::move(profile), prepared, error);
    std::lock_guard<std::mutex> lock(mutex_);
    parts_.Apply(good, std::move(prepared), error);
    return good;
}

std::string Station::LastProfileError() {
    return Control([](StationParts& parts, int64_t) { return parts.profileError; });
}

void Station::Reset() {
    faults_.Clear();
    calls_.LogPolls(false);
    calls_.Clear();
    pulses_.Clear();
    objects_.created.store(0);
    objects_.deleted.store(0);
    std::lock_guard<std::mutex> lock(mutex_);
    parts_.loaded = false;
    parts_.scriptMode = false;
    parts_.script = ScriptedPolls{};
    parts_.clock.ClearLink();
    parts_.delivered.Clear();
    parts_.counters = VarnixSimCounters{};
    // The frame handed out is kept: a plug-in may still read the last frame
    // it was given.
    parts_.EnsureLoaded();
}

}  // namespace varnix::station
