// The simulated station's parts that live under its lock, and the few steps
// that wire them: loading a profile, entering script mode, handing a frame
// out. The station's calls (station.h) take the lock and use these.
#pragma once

#include "contract/station_control.h"
#include "contract/station_records.h"
#include "delivered_frames.h"
#include "delivery_queue.h"
#include "frame_clock.h"
#include "profile_loading.h"
#include "pulse_log.h"
#include "scripted_polls.h"
#include "station_answers.h"

#include <cstdint>
#include <string>
#include <vector>

namespace varnix::station {

// Not thread-safe: touched only with the station's lock held, by [host],
// [acquisition] and control callers alike.
struct StationParts {
    // The pulse log is lent for the parts' life.
    explicit StationParts(PulseLog& pulses) : clock(queue, pulses, counters) {}

    // Reads the startup profile once (at the first call after a reset).
    void EnsureLoaded();
    // A prepared profile in use, or the refusal of a broken one (`error`):
    // the station then answers nothing until a good profile comes.
    void Apply(bool good, PreparedProfile prepared, const std::string& error);
    // A test writes the tables and the polls from now on.
    void EnterScriptMode();
    // Connected, with a usable profile or a script.
    bool Answering() const { return clock.Connected() && (scriptMode || profileError.empty()); }
    // Hands `values` out as the next frame (its array stays the station's
    // until the next poll) and remembers it with the moments it was due and
    // became pollable. Always true.
    bool Deliver(VarnixFrameBuf* frame, uint64_t sequence, int64_t dueNs, int64_t readyNs,
                 std::vector<float>&& values);

    bool loaded = false;
    bool scriptMode = false;
    std::string profileError;  // "" when the profile in use is good
    StationAnswers answers;
    ScriptedPolls script;
    DeliveryQueue queue;
    VarnixSimCounters counters{};  // all but the object counts
    FrameClock clock;
    DeliveredFrames delivered;
};

}  // namespace varnix::station
