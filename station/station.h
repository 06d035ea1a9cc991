// The simulated station: one process-wide object behind both the station C
// ABI (the nine entry points) and the VarnixSim_* control API.
//
// Threads: the plug-in calls the entry points from its [host] thread
// (initialize, infoRequest, stop, close) and its [acquisition] thread (stop,
// configure, start, pollData); tests and the host emulator call the control
// API from any thread. One mutex guards all state; it is never held while
// sleeping for a slow-answer fault, and the station calls nobody.
//
// Simulation mode has no thread of its own: every poll first produces the
// frames whose due time has passed (frame k after a start is due at
// t0 + (k+1) x frameMultiple x 13.5 ms on a perfect clock; frame_timing.h
// for a drifting one) into a bounded queue, dropping the oldest on overflow,
// then hands out the oldest once it has become pollable (at once on a
// perfect delivery; later with jitter, or with the next frame when held). A replay profile is a
// simulation whose frames come from a recording (replay_setup.h): the same
// clock, queue, triggers and faults; at the recording's end no more frames
// are made until the next start, unless the profile loops.
#pragma once

#include "call_log.h"
#include "contract/station_control.h"
#include "contract/station_records.h"
#include "delivered_frames.h"
#include "frame_source.h"
#include "frame_timing.h"
#include "profile.h"
#include "pulse_log.h"
#include "recording_player.h"
#include "replay_setup.h"
#include "station_geometry.h"
#include "station_tables.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace varnix::station {

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
    // Tests and the host emulator, from any thread. Each locks the station
    // briefly (never while a slow answer sleeps) and may allocate; none
    // blocks otherwise.
    void Reset();
    bool LoadProfile(const std::string& json, const std::string& source, std::string& error);
    bool LoadProfileFile(const std::string& path, std::string& error);
    std::string LastProfileError();

    void ScriptItemList(const char* itemList);
    void ScriptFrameMultiple(int32_t frameMultiple);
    void ScriptRates(const double* rates, size_t count);
    void ScriptAnswer(const char* id, int32_t code, const char* answer);
    void ScriptFrame(const float* values, size_t count);
    void ScriptPollFalse(size_t count);
    void ScriptConfigureResult(int result);

    void LogPolls(bool on) { logPolls_.store(on); }
    CallLog& Calls() { return calls_; }

    void NoteObjectCreated() { objectsCreated_.fetch_add(1); }
    void NoteObjectDeleted() { objectsDeleted_.fetch_add(1); }
    void GetCounters(VarnixSimCounters* out);
    bool GetDeliveredFrame(uint64_t deliveryIndex, VarnixSimFrameInfo* info, float* values,
                           size_t capacity);
    bool GetFrameTiming(uint64_t deliveryIndex, VarnixSimFrameTiming* timing);

    size_t SensorCount();
    int32_t SamplesPerFrame(size_t sensor);
    int32_t StreamCount(size_t sensor);
    int32_t FrameMultiple();

    void StartPulse();
    void StopPulse();
    PulseLog& Pulses() { return pulses_; }

    void FailPollsFor(int64_t milliseconds);
    void FaultAnswer(const char* id, int32_t code, bool empty);
    void FaultItemList(bool empty);
    void SlowAnswers(int64_t milliseconds) { slowMs_.store(milliseconds); }
    void DisconnectAfter(int64_t milliseconds);
    void Reconnect();
    void ClearFaults();

private:
    Station() = default;

    static constexpr int64_t kNever = std::numeric_limits<int64_t>::max();

    struct QueuedFrame {
        uint64_t sequence = 0;
        int64_t dueNs = 0;
        int64_t readyNs = 0;  // when it becomes pollable
        std::vector<float> values;
    };
    struct ScriptedPoll {
        bool frame = false;
        std::vector<float> values;
    };
    struct Faults {
        int64_t failPollsUntilNs = 0;
        std::map<AnswerKey, bool> answers;     // (id, code) -> empty instead of null
        std::map<int32_t, bool> anyIdAnswers;  // code -> empty instead of null
        std::optional<bool> itemList;          // set: null (false) or empty (true)
        int64_t disconnectAtNs = kNever;
        bool disconnected = false;
    };
    // Simulation session: opened by initialize, closed by close; running
    // between start and stop; frames flow while running, open, connected and
    // not held back by the trigger inputs.
    struct Session {
        bool opened = true;
        bool running = false;
        bool flowing = false;
        bool recordingEnded = false;     // a replay without loop has no frame left
        bool replayStopPending = false;  // the recording's stop pulse waits for the flow
        bool startInput = false;
        bool stopInput = false;
        int64_t flowStartNs = 0;  // t0 of the current run of frames
        uint64_t framesSinceFlowStart = 0;
        uint64_t nextSequence = 0;        // produced-frame number since start
        int64_t startPulseAtNs = kNever;  // scheduled by the profile
        int64_t stopPulseAtNs = kNever;
    };

    // A profile with its frame source made, ready to apply under the lock.
    struct PreparedProfile {
        Profile profile;
        std::unique_ptr<FrameSource> frames;
        RecordingPlayer* player = nullptr;  // frames, when it plays a recording
        ReplayPulses pulses;
    };
    // Makes the frame source (opening a recording for a replay). Takes no
    // lock itself; blocks on the disk for a replay (the lazy first load
    // calls it with mutex_ held, as it reads the profile file). False with
    // `error`.
    static bool Prepare(Profile profile, PreparedProfile& prepared, std::string& error);
    // Reads a profile file, or takes an EDF/BDF file as the replay of it.
    static bool ReadProfileFile(const std::string& path, Profile& profile, std::string& error);

    // All *Locked functions expect mutex_ held.
    void EnsureLoadedLocked();
    void ResetLocked();
    void LoadLocked(bool parsed, Profile profile, std::string error);
    void ApplyProfileLocked(PreparedProfile prepared);
    void RefuseProfileLocked(const std::string& error);
    void EnterScriptModeLocked();
    void TablesChangedLocked();
    bool AnswersLocked() const;  // connected, with a usable profile or a script
    void AdvanceLocked(int64_t nowNs);
    void ProduceUntilLocked(int64_t untilNs);
    void ProduceOneLocked(int64_t dueNs, int64_t readyNs);
    void BeginFlowLocked(int64_t atNs);
    void DisconnectLocked();
    void StartPulseLocked(int64_t atNs, int32_t source);
    void StopPulseLocked(int64_t atNs, int32_t source);
    void TellReplayEndLocked();
    void ClearQueueLocked();
    void HaltLocked();  // no flow, no pending pulse, an empty queue
    bool ProducingLocked() const;
    bool DeliverLocked(VarnixFrameBuf* frame, uint64_t sequence, int64_t dueNs, int64_t readyNs,
                       std::vector<float>&& values);
    void FillMetadataLocked(VarnixMetadataBuf* pb);
    void SleepIfSlow() const;
    void Log(const char* function, const std::string& arguments);

    // Everything from here to counters_ is guarded by mutex_ and touched by
    // [host], [acquisition] and control callers alike.
    std::mutex mutex_;
    bool loaded_ = false;
    bool scriptMode_ = false;
    std::string profileError_;  // "" when the profile in use is good
    Profile profile_;
    StationTables tables_;
    std::vector<double> ratesOut_;  // rate array handed out by initialize
    bool geometryStale_ = true;
    std::vector<SensorGeometry> geometry_;

    // script mode
    std::deque<ScriptedPoll> scriptedPolls_;
    int configureResult_ = 1;

    // simulation mode (a replay included)
    Session session_;
    std::unique_ptr<FrameSource> frames_;  // never null once loaded
    FrameTiming timing_;                   // when its frames are due and pollable
    RecordingPlayer* player_ = nullptr;    // frames_ when it plays a recording
    ReplayPulses replayPulses_;
    std::deque<QueuedFrame> queue_;
    std::vector<std::vector<float>> spareBuffers_;  // recycled frame arrays

    std::vector<float> current_;  // the frame handed out by the last true poll; its
                                  // array belongs to the station until the next poll
    Faults faults_;
    DeliveredFrames delivered_;
    VarnixSimCounters counters_{};  // all but the object counts, under mutex_

    // Outside mutex_, so that counting objects, reading the slow-answer delay
    // and logging never wait for the station lock.
    std::atomic<uint64_t> objectsCreated_{0};  // [any] VarnixNative_New adds, GetCounters reads
    std::atomic<uint64_t> objectsDeleted_{0};  // [any] VarnixNative_Delete adds
    std::atomic<int64_t> slowMs_{0};           // [any] SlowAnswers sets, every call reads
    std::atomic<bool> logPolls_{false};        // [any] LogPolls sets, polls read
    CallLog calls_;                            // [any] own mutex
    PulseLog pulses_;                          // [any] own mutex
};

}  // namespace varnix::station
