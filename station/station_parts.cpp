#include "station_parts.h"

#include "station_clock.h"

#include <cstdio>

namespace varnix::station {

void StationParts::EnsureLoaded() {
    if (loaded) return;
    loaded = true;
    Profile profile;
    std::string error;
    PreparedProfile prepared;
    // The first call reads the profile file with the lock held: nothing can
    // answer before the station knows what it is.
    const bool good =
        ReadStartupProfile(profile, error) && PrepareProfile(std::move(profile), prepared, error);
    Apply(good, std::move(prepared), error);
}

void StationParts::Apply(bool good, PreparedProfile prepared, const std::string& error) {
    loaded = true;
    if (!good) {
        std::fprintf(stderr, "%s\n", error.c_str());
        std::string ignored;
        prepared = PreparedProfile{};
        PrepareProfile(Profile{}, prepared, ignored);
    }
    scriptMode = false;
    profileError = good ? std::string() : error;
    StationTables tables = TablesFromProfile(prepared.profile);
    if (!good) tables.itemList.reset();
    answers.Replace(std::move(tables));
    clock.Load(std::move(prepared.frames), prepared.player, prepared.pulses, prepared.profile);
    clock.Enable(good);
    script.Clear();
}

void StationParts::EnterScriptMode() {
    EnsureLoaded();
    if (scriptMode) return;
    scriptMode = true;
    StationTables tables;
    tables.itemList = std::string();
    answers.Replace(std::move(tables));
    clock.Enable(false);
    clock.ResetSession();
}

bool StationParts::Deliver(VarnixFrameBuf* frame, uint64_t sequence, int64_t dueNs, int64_t readyNs,
                           std::vector<float>&& values) {
    std::vector<float>& handed = queue.HandOut(std::move(values));
    if (frame != nullptr) frame->samples = handed.data();
    VarnixSimFrameInfo info{};
    info.deliveryIndex = counters.framesDelivered;
    info.frameSequence = sequence;
    info.readyTimeNs = readyNs;
    info.deliveredTimeNs = MonotonicNowNs();
    info.valueCount = static_cast<uint32_t>(handed.size());
    delivered.Record(info, dueNs, handed.data(), handed.size());
    ++counters.framesDelivered;
    return true;
}

}  // namespace varnix::station
