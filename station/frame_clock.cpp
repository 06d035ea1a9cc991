// The real-time side of the simulation: frames made ready on the clock into
// the bounded queue, lazily at each call, with scheduled pulses and the
// scheduled disconnect applied in time order between them. A replay's frames
// run out at its recording's end (unless it loops): the clock then makes
// none until the next start.
#include "station.h"

#include "station_clock.h"

#include <algorithm>
#include <cstdio>

namespace varnix::station {

bool Station::ProducingLocked() const {
    return !scriptMode_ && profileError_.empty() && !faults_.disconnected && session_.opened &&
           session_.running && session_.flowing && !session_.recordingEnded;
}

void Station::BeginFlowLocked(int64_t atNs) {
    session_.flowing = true;
    session_.flowStartNs = atNs;
    session_.framesSinceFlowStart = 0;
    timing_.Begin(static_cast<int64_t>(tables_.frameMultiple) * kBaseFramePeriodNs);
    // A recording's stop pulse is at its time in the recording: from the
    // moment its first frame began.
    if (session_.replayStopPending) {
        session_.replayStopPending = false;
        session_.stopPulseAtNs = atNs + *replayPulses_.stopNs;
    }
}

void Station::AdvanceLocked(int64_t nowNs) {
    // Scheduled events apply in time order, each after the frames before it.
    for (;;) {
        const int64_t disconnectAt = faults_.disconnected ? kNever : faults_.disconnectAtNs;
        const int64_t next =
            std::min({disconnectAt, session_.startPulseAtNs, session_.stopPulseAtNs});
        if (next > nowNs) {
            break;
        }
        ProduceUntilLocked(next);
        const int32_t source =
            player_ != nullptr ? VARNIX_SIM_PULSE_FROM_RECORDING : VARNIX_SIM_PULSE_FROM_PROFILE;
        if (next == disconnectAt) {
            faults_.disconnectAtNs = kNever;
            DisconnectLocked();
        } else if (next == session_.startPulseAtNs) {
            session_.startPulseAtNs = kNever;
            StartPulseLocked(next, source);
        } else {
            session_.stopPulseAtNs = kNever;
            StopPulseLocked(next, source);
        }
    }
    ProduceUntilLocked(nowNs);
}

void Station::ProduceUntilLocked(int64_t untilNs) {
    if (!ProducingLocked()) {
        return;
    }
    while (!session_.recordingEnded) {
        const uint64_t k = session_.framesSinceFlowStart;
        const int64_t due = session_.flowStartNs + timing_.DueNs(k);
        if (due > untilNs) {
            break;
        }
        ProduceOneLocked(due, session_.flowStartNs + timing_.PollableNs(k));
        ++session_.framesSinceFlowStart;
    }
}

void Station::ProduceOneLocked(int64_t dueNs, int64_t readyNs) {
    QueuedFrame frame;
    if (!spareBuffers_.empty()) {
        frame.values = std::move(spareBuffers_.back());
        spareBuffers_.pop_back();
    }
    frame.values.resize(frames_->FrameValueCount());
    if (!frames_->Produce(frame.values.data())) {
        spareBuffers_.push_back(std::move(frame.values));
        session_.recordingEnded = true;
        TellReplayEndLocked();
        return;
    }
    frame.sequence = session_.nextSequence++;
    frame.dueNs = dueNs;
    frame.readyNs = readyNs;
    queue_.push_back(std::move(frame));
    ++counters_.framesProduced;
    if (queue_.size() > profile_.queueCapacity) {
        spareBuffers_.push_back(std::move(queue_.front().values));
        queue_.pop_front();
        ++counters_.framesDropped;
    }
    counters_.deepestQueue = std::max<uint64_t>(counters_.deepestQueue, queue_.size());
}

void Station::ClearQueueLocked() {
    while (!queue_.empty()) {
        if (spareBuffers_.size() <= profile_.queueCapacity + 1) {
            spareBuffers_.push_back(std::move(queue_.front().values));
        }
        queue_.pop_front();
    }
}

void Station::DisconnectLocked() {
    faults_.disconnected = true;
    ClearQueueLocked();
}

void Station::TellReplayEndLocked() {
    // Only a failed read is worth a line: the end of a recording shows in
    // the plug-in's own report of a silent station.
    const std::string error = player_ != nullptr ? player_->TakeReadError() : std::string();
    if (!error.empty()) {
        std::fprintf(stderr, "%s\n", error.c_str());
    }
}

void Station::StartPulseLocked(int64_t atNs, int32_t source) {
    pulses_.Record(VARNIX_SIM_START_INPUT, source, atNs);
    if (session_.running && session_.startInput && !session_.flowing) {
        BeginFlowLocked(atNs);
    }
}

void Station::StopPulseLocked(int64_t atNs, int32_t source) {
    pulses_.Record(VARNIX_SIM_STOP_INPUT, source, atNs);
    if (session_.running && session_.stopInput && session_.flowing) {
        ProduceUntilLocked(atNs);
        session_.flowing = false;
    }
}

}  // namespace varnix::station
