// The simulation's clock: frames made in real time into the delivery queue,
// lazily at each call (frame k after the flow began at t0 is due at
// t0 + (k+1) x frameMultiple x the base frame on a perfect clock;
// frame_timing.h for a drifting one, and for when a jittered or held frame
// becomes pollable), with the trigger inputs' scheduled pulses and the
// scheduled disconnect applied in time order between them. A replay's frames run out at its recording's end (unless
// it loops): the clock then makes none until the next start.
#pragma once

#include "contract/station_control.h"
#include "delivery_queue.h"
#include "frame_source.h"
#include "frame_timing.h"
#include "profile.h"
#include "recording_player.h"
#include "replay_setup.h"
#include "trigger_inputs.h"

#include <cstdint>
#include <memory>
#include <optional>

namespace varnix::station {

// No lock of its own: the station calls it with its own lock held.
class FrameClock {
public:
    // The queue, the pulse log and the counters are lent for the clock's life.
    FrameClock(DeliveryQueue& queue, PulseLog& pulses, VarnixSimCounters& counters);

    // A profile's frames (a replay's player, when it plays a recording); the
    // session starts afresh, opened and not running.
    void Load(std::unique_ptr<FrameSource> frames, RecordingPlayer* player, ReplayPulses pulses,
              const Profile& profile);
    // Frames are made only while enabled: a usable profile, not a script.
    void Enable(bool on) { enabled_ = on; }
    // Opened, not running, inputs unarmed, nothing queued or scheduled.
    void ResetSession();

    void Open() { flow_.opened = true; }
    void Start(int64_t nowNs);
    void Halt();  // no flow, no pending pulse, an empty queue
    void Close();
    void ArmInputs(bool startInput, bool stopInput) { triggers_.Arm(startInput, stopInput); }
    // A pulse on an input now, from `source`.
    void Pulse(int32_t input, int64_t nowNs, int32_t source);
    // Makes every frame, pulse and disconnect due by `nowNs` happen.
    void Advance(int64_t nowNs);

    bool Connected() const { return !link_.disconnected; }
    void DisconnectAfter(int64_t nowNs, int64_t milliseconds);
    void Reconnect(int64_t nowNs);
    void ClearLink() { link_ = Link{}; }

private:
    // Opened by initialize, closed by close; running between start and stop;
    // frames flow while running, open, connected and not held back by the
    // trigger inputs.
    struct Flow {
        bool opened = true;
        bool running = false;
        bool flowing = false;
        bool recordingEnded = false;  // a replay without loop has no frame left
        int64_t flowStartNs = 0;      // t0 of the current run of frames
        uint64_t framesSinceFlowStart = 0;
        uint64_t nextSequence = 0;  // produced-frame number since start
    };
    struct Link {
        int64_t disconnectAtNs = kNever;
        bool disconnected = false;
    };

    bool Producing() const;
    void ProduceUntil(int64_t untilNs);
    void ProduceOne(int64_t dueNs, int64_t readyNs);
    void BeginFlow(int64_t atNs);
    void ApplyPulse(int32_t input, int64_t atNs, int32_t source);
    void TellReplayEnd();

    DeliveryQueue& queue_;
    VarnixSimCounters& counters_;
    TriggerInputs triggers_;
    std::unique_ptr<FrameSource> frames_;  // never null once loaded
    RecordingPlayer* player_ = nullptr;    // frames_ when it plays a recording
    ReplayPulses replayPulses_;
    std::optional<int64_t> startPulseAfterMs_;  // a profile's scheduled pulses
    std::optional<int64_t> stopPulseAfterMs_;
    int32_t frameMultiple_ = 1;
    FrameTiming timing_;  // when the frames are due and pollable
    bool enabled_ = false;
    Flow flow_;
    Link link_;
};

}  // namespace varnix::station
