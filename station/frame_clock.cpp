#include "frame_clock.h"

#include "station_clock.h"

#include <algorithm>
#include <cstdio>

namespace varnix::station {

FrameClock::FrameClock(DeliveryQueue& queue, PulseLog& pulses, VarnixSimCounters& counters)
    : queue_(queue), counters_(counters), triggers_(pulses) {}

void FrameClock::Load(std::unique_ptr<FrameSource> frames, RecordingPlayer* player,
                      ReplayPulses pulses, const Profile& profile) {
    frames_ = std::move(frames);
    player_ = player;
    replayPulses_ = pulses;
    startPulseAfterMs_ = profile.startPulseAfterMs;
    stopPulseAfterMs_ = profile.stopPulseAfterMs;
    frameMultiple_ = profile.frameMultiple;
    timing_.Configure(profile.timing, profile.seed);
    queue_.SetCapacity(profile.queueCapacity);
    enabled_ = true;
    ResetSession();
}

void FrameClock::ResetSession() {
    if (frames_ != nullptr) frames_->Pause();
    flow_ = Flow{};
    triggers_.Clear();
    queue_.Clear();
}

void FrameClock::Start(int64_t nowNs) {
    queue_.Clear();
    frames_->Restart();
    flow_.running = true;
    flow_.flowing = false;
    flow_.recordingEnded = false;
    flow_.nextSequence = 0;
    if (player_ != nullptr) {
        triggers_.ScheduleRecording(nowNs, replayPulses_);
    } else {
        triggers_.ScheduleProfile(nowNs, startPulseAfterMs_, stopPulseAfterMs_);
    }
    if (!triggers_.WaitsForStart()) BeginFlow(nowNs);
    // A pulse scheduled at once applies at once.
    Advance(nowNs);
}

void FrameClock::Halt() {
    if (frames_ != nullptr) frames_->Pause();
    flow_.running = false;
    flow_.flowing = false;
    triggers_.Cancel();
    queue_.Clear();
}

void FrameClock::Close() {
    Halt();
    flow_.opened = false;
}

void FrameClock::Pulse(int32_t input, int64_t nowNs, int32_t source) {
    Advance(nowNs);
    ApplyPulse(input, nowNs, source);
}

void FrameClock::Advance(int64_t nowNs) {
    // Scheduled events apply in time order, each after the frames before it.
    for (;;) {
        const int64_t disconnectAt = link_.disconnected ? kNever : link_.disconnectAtNs;
        const int64_t next = std::min(disconnectAt, triggers_.NextNs());
        if (next > nowNs) break;
        ProduceUntil(next);
        if (next == disconnectAt) {
            link_.disconnectAtNs = kNever;
            link_.disconnected = true;
            queue_.Clear();
            continue;
        }
        const int32_t source =
            player_ != nullptr ? VARNIX_SIM_PULSE_FROM_RECORDING : VARNIX_SIM_PULSE_FROM_PROFILE;
        ApplyPulse(triggers_.TakeScheduled(next), next, source);
    }
    ProduceUntil(nowNs);
}

void FrameClock::DisconnectAfter(int64_t nowNs, int64_t milliseconds) {
    Advance(nowNs);
    link_.disconnectAtNs = nowNs + std::max<int64_t>(0, milliseconds) * kNsPerMs;
    Advance(nowNs);
}

void FrameClock::Reconnect(int64_t nowNs) {
    Advance(nowNs);
    link_.disconnectAtNs = kNever;
    if (!link_.disconnected) return;
    link_.disconnected = false;
    // Frames resume from now; none pile up for the time away.
    if (flow_.flowing) BeginFlow(nowNs);
}

bool FrameClock::Producing() const {
    return enabled_ && !link_.disconnected && flow_.opened && flow_.running && flow_.flowing &&
           !flow_.recordingEnded;
}

void FrameClock::ProduceUntil(int64_t untilNs) {
    if (!Producing()) return;
    while (!flow_.recordingEnded) {
        const uint64_t k = flow_.framesSinceFlowStart;
        const int64_t due = flow_.flowStartNs + timing_.DueNs(k);
        if (due > untilNs) break;
        ProduceOne(due, flow_.flowStartNs + timing_.PollableNs(k));
        ++flow_.framesSinceFlowStart;
    }
}

void FrameClock::ProduceOne(int64_t dueNs, int64_t readyNs) {
    QueuedFrame frame;
    frame.values = queue_.Array(frames_->FrameValueCount());
    if (!frames_->Produce(frame.values.data())) {
        queue_.Recycle(std::move(frame.values));
        flow_.recordingEnded = true;
        TellReplayEnd();
        return;
    }
    frame.sequence = flow_.nextSequence++;
    frame.dueNs = dueNs;
    frame.readyNs = readyNs;
    ++counters_.framesProduced;
    if (queue_.Push(std::move(frame))) ++counters_.framesDropped;
    counters_.deepestQueue = std::max<uint64_t>(counters_.deepestQueue, queue_.Size());
}

void FrameClock::BeginFlow(int64_t atNs) {
    flow_.flowing = true;
    flow_.flowStartNs = atNs;
    flow_.framesSinceFlowStart = 0;
    timing_.Begin(static_cast<int64_t>(frameMultiple_) * kBaseFramePeriodNs);
    triggers_.FlowBegins(atNs);
}

void FrameClock::ApplyPulse(int32_t input, int64_t atNs, int32_t source) {
    triggers_.Log(input, source, atNs);
    if (input == VARNIX_SIM_START_INPUT) {
        if (flow_.running && triggers_.WaitsForStart() && !flow_.flowing) BeginFlow(atNs);
    } else if (flow_.running && triggers_.StopsAtPulse() && flow_.flowing) {
        ProduceUntil(atNs);
        flow_.flowing = false;
    }
}

void FrameClock::TellReplayEnd() {
    // Only a failed read is worth a line: the end of a recording shows in
    // the plug-in's own report of a silent station.
    const std::string error = player_ != nullptr ? player_->TakeReadError() : std::string();
    if (!error.empty()) std::fprintf(stderr, "%s\n", error.c_str());
}

}  // namespace varnix::station
