// The simulated station: one process-wide object behind both the station C
// ABI (the nine entry points) and the VarnixSim_* control API. It owns its
// parts and wires them to the entry points:
//   - the frame clock (frame_clock.h): frames made ready in real time from
//     the frame source (synthesis, or a recording replayed), the trigger
//     inputs and their pulses, the scheduled disconnect;
//   - the delivery queue (delivery_queue.h) and the delivered frames kept
//     for checks (delivered_frames.h);
//   - the answers at the catalogue build (station_answers.h) and script
//     mode's polls (scripted_polls.h);
//   - the fault injector (fault_injector.h), the call log (call_log.h) and
//     the pulse log (pulse_log.h), each behind its own mutex.
//
// Threads: the plug-in calls the entry points from its [host] thread
// (initialize, infoRequest, stop, close) and its [acquisition] thread (stop,
// configure, start, pollData); tests and the host emulator call the control
// API from any thread. The station's mutex guards the parts under it
// (station_parts.h); it is never held while sleeping for a slow-answer
// fault, it may be held while a part with a mutex of its own is called (and
// never the other way round), and the station calls nobody.
//
// Simulation mode has no thread of its own: every call first brings the
// clock to now, which makes the frames whose due time has passed into the
// bounded queue (dropping the oldest on overflow); a poll then hands out the
// oldest once it has become pollable (at once on a perfect delivery; later
// with jitter, or with the next frame when held).
#pragma once

#include "call_log.h"
#include "contract/station_records.h"
#include "fault_injector.h"
#include "pulse_log.h"
#include "station_clock.h"
#include "station_parts.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

namespace varnix::station {

// How many station objects the station's C++ factory made and freed.
struct ObjectCounts {
    std::atomic<uint64_t> created{0};  // [any] VarnixNative_New adds, counters read
    std::atomic<uint64_t> deleted{0};  // [any] VarnixNative_Delete adds
};

class Station {
public:
    // [any] The one station. Built at first use and never destroyed, so a
    // plug-in thread still polling at process exit finds it alive.
    static Station& Get();

    // ---- the nine entry points [host][acquisition] --------------------------
    // Each logs the call, sleeps first under a slow-answer fault (without the
    // lock), then locks the station briefly. They allocate (the first call
    // reads the profile; polls make frames), and the entry_points.cpp
    // wrappers turn an allocation failure into a null, false or nothing.
    // Texts returned belong to the station and stay valid until the tables
    // change (a script call, a profile load or a reset); the rate array
    // until the next initialize; a frame's values until the next poll.
    const char* Initialize(VarnixMetadataBuf* pb, int32_t frameThroughput, int32_t organization);
    const char* Scan(VarnixMetadataBuf* pb);
    void Start();
    void Stop();
    void Close();
    bool Configure(bool globalTriggerEnable, bool startInput, bool stopInput, bool outputTriggers);
    bool PollData(VarnixFrameBuf* frame);
    bool ChangeSensorMode(VarnixMetadataBuf* pb, const char* id, const char* sensorMode);
    const char* InfoRequest(const char* id, int32_t code);

    // ---- control and observation [any] --------------------------------------
    // Back to the state of a fresh process: the profile read again, no
    // fault, nothing logged or counted.
    void Reset();
    // A profile `read` fills (outside the lock; false with `error`), prepared
    // and put in use; a broken one leaves the station answering nothing.
    bool Load(const std::function<bool(Profile&, std::string&)>& read, std::string& error);
    std::string LastProfileError();

    CallLog& Calls() { return calls_; }
    PulseLog& Pulses() { return pulses_; }
    FaultInjector& Faults() { return faults_; }
    ObjectCounts& Objects() { return objects_; }

    // Runs use(parts, nowNs) with the station's lock held and the profile
    // loaded; returns what it returns. `use` must not call the station.
    template <typename Use>
    auto Control(Use&& use) {
        std::lock_guard<std::mutex> lock(mutex_);
        parts_.EnsureLoaded();
        return use(parts_, MonotonicNowNs());
    }

private:
    Station() = default;

    // Outside mutex_, each with its own lock or atomics, so that logging,
    // counting objects and reading the slow-answer delay never wait for the
    // station lock.
    CallLog calls_;
    PulseLog pulses_;
    FaultInjector faults_;
    ObjectCounts objects_;

    std::mutex mutex_;
    StationParts parts_{pulses_};  // guarded by mutex_
};

}  // namespace varnix::station
