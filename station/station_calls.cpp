// The nine station calls as the simulation answers them: the tables for the
// catalogue build, the session (start, stop, close, configure) and the polls.
#include "station.h"

#include "station_clock.h"

#include <algorithm>

namespace varnix::station {

namespace {

size_t ItemCount(const std::optional<std::string>& itemList) {
    return itemList ? static_cast<size_t>(std::count(itemList->begin(), itemList->end(), '|')) : 0;
}

}  // namespace

void Station::FillMetadataLocked(VarnixMetadataBuf* pb) {
    if (pb == nullptr) {
        return;
    }
    // At least one rate per listed item, whatever a script provided.
    ratesOut_ = tables_.rates;
    if (ratesOut_.size() < ItemCount(tables_.itemList)) {
        ratesOut_.resize(ItemCount(tables_.itemList), 0.0);
    }
    pb->frameMultiple = tables_.frameMultiple;
    pb->sampleRates = ratesOut_.data();
}

const char* Station::Initialize(VarnixMetadataBuf* pb, int32_t frameThroughput,
                                int32_t organization) {
    Log("initialize", std::to_string(frameThroughput) + "," + std::to_string(organization));
    SleepIfSlow();
    std::lock_guard<std::mutex> lock(mutex_);
    EnsureLoadedLocked();
    AdvanceLocked(MonotonicNowNs());
    if (!AnswersLocked()) {
        return nullptr;
    }
    session_.opened = true;
    FillMetadataLocked(pb);
    if (faults_.itemList) {
        return *faults_.itemList ? "" : nullptr;
    }
    return tables_.itemList ? tables_.itemList->c_str() : nullptr;
}

const char* Station::Scan(VarnixMetadataBuf* pb) {
    Log("scan", "");
    SleepIfSlow();
    std::lock_guard<std::mutex> lock(mutex_);
    EnsureLoadedLocked();
    AdvanceLocked(MonotonicNowNs());
    if (!AnswersLocked()) {
        return nullptr;
    }
    FillMetadataLocked(pb);
    return tables_.itemList ? tables_.itemList->c_str() : nullptr;
}

void Station::Start() {
    Log("start", "");
    SleepIfSlow();
    std::lock_guard<std::mutex> lock(mutex_);
    EnsureLoadedLocked();
    const int64_t now = MonotonicNowNs();
    AdvanceLocked(now);
    ++counters_.sessionsStarted;
    if (scriptMode_) {
        return;
    }
    ClearQueueLocked();
    frames_->Restart();
    session_.running = true;
    session_.flowing = false;
    session_.recordingEnded = false;
    session_.nextSequence = 0;
    if (player_ != nullptr) {
        // A recording's pulses: the start pulse at its time from the start,
        // the stop pulse at its time from when the recording's frames begin.
        session_.startPulseAtNs = replayPulses_.startNs ? now + *replayPulses_.startNs : kNever;
        session_.stopPulseAtNs = kNever;
        session_.replayStopPending = replayPulses_.stopNs.has_value();
    } else {
        session_.startPulseAtNs =
            profile_.startPulseAfterMs ? now + *profile_.startPulseAfterMs * kNsPerMs : kNever;
        session_.stopPulseAtNs =
            profile_.stopPulseAfterMs ? now + *profile_.stopPulseAfterMs * kNsPerMs : kNever;
    }
    if (!session_.startInput) {
        BeginFlowLocked(now);
    }
    // A pulse scheduled at once applies at once.
    AdvanceLocked(now);
}

void Station::Stop() {
    Log("stop", "");
    SleepIfSlow();
    std::lock_guard<std::mutex> lock(mutex_);
    EnsureLoadedLocked();
    HaltLocked();
}

void Station::Close() {
    Log("close", "");
    SleepIfSlow();
    std::lock_guard<std::mutex> lock(mutex_);
    EnsureLoadedLocked();
    HaltLocked();
    session_.opened = false;
}

void Station::HaltLocked() {
    session_.running = false;
    session_.flowing = false;
    session_.startPulseAtNs = kNever;
    session_.stopPulseAtNs = kNever;
    session_.replayStopPending = false;
    ClearQueueLocked();
}

bool Station::Configure(bool globalTriggerEnable, bool startInput, bool stopInput,
                        bool outputTriggers) {
    Log("configure", std::string(globalTriggerEnable ? "1" : "0") + "," + (startInput ? "1" : "0") +
                         "," + (stopInput ? "1" : "0") + "," + (outputTriggers ? "1" : "0"));
    SleepIfSlow();
    std::lock_guard<std::mutex> lock(mutex_);
    EnsureLoadedLocked();
    AdvanceLocked(MonotonicNowNs());
    if (!AnswersLocked()) {
        return false;
    }
    session_.startInput = globalTriggerEnable && startInput;
    session_.stopInput = globalTriggerEnable && stopInput;
    return configureResult_ != 0;
}

bool Station::PollData(VarnixFrameBuf* frame) {
    if (logPolls_.load()) {
        Log("pollData", "");
    }
    SleepIfSlow();
    std::lock_guard<std::mutex> lock(mutex_);
    ++counters_.polls;
    EnsureLoadedLocked();
    const int64_t now = MonotonicNowNs();
    AdvanceLocked(now);
    if (!AnswersLocked() || now < faults_.failPollsUntilNs) {
        return false;
    }
    if (scriptMode_) {
        if (scriptedPolls_.empty()) {
            return false;
        }
        ScriptedPoll poll = std::move(scriptedPolls_.front());
        scriptedPolls_.pop_front();
        if (!poll.frame) {
            return false;
        }
        return DeliverLocked(frame, counters_.framesDelivered, now, now, std::move(poll.values));
    }
    // Due is not yet pollable: a jittered or held delivery comes later.
    if (queue_.empty() || queue_.front().readyNs > now) {
        return false;
    }
    QueuedFrame next = std::move(queue_.front());
    queue_.pop_front();
    return DeliverLocked(frame, next.sequence, next.dueNs, next.readyNs, std::move(next.values));
}

bool Station::DeliverLocked(VarnixFrameBuf* frame, uint64_t sequence, int64_t dueNs,
                            int64_t readyNs, std::vector<float>&& values) {
    // The array handed out by the previous poll may be reused from now on.
    if (spareBuffers_.size() <= profile_.queueCapacity + 1) {
        spareBuffers_.push_back(std::move(current_));
    }
    current_ = std::move(values);
    if (frame != nullptr) {
        frame->samples = current_.data();
    }
    VarnixSimFrameInfo info{};
    info.deliveryIndex = counters_.framesDelivered;
    info.frameSequence = sequence;
    info.readyTimeNs = readyNs;
    info.deliveredTimeNs = MonotonicNowNs();
    info.valueCount = static_cast<uint32_t>(current_.size());
    delivered_.Record(info, dueNs, current_.data(), current_.size());
    ++counters_.framesDelivered;
    return true;
}

bool Station::ChangeSensorMode(VarnixMetadataBuf* pb, const char* id, const char* sensorMode) {
    Log("changeSensorMode",
        std::string(id ? id : "(null)") + "," + (sensorMode ? sensorMode : "(null)"));
    SleepIfSlow();
    std::lock_guard<std::mutex> lock(mutex_);
    EnsureLoadedLocked();
    if (!AnswersLocked()) {
        return false;
    }
    FillMetadataLocked(pb);
    return true;
}

const char* Station::InfoRequest(const char* id, int32_t code) {
    Log("infoRequest", std::string(id ? id : "(null)") + "," + std::to_string(code));
    SleepIfSlow();
    std::lock_guard<std::mutex> lock(mutex_);
    EnsureLoadedLocked();
    AdvanceLocked(MonotonicNowNs());
    if (!AnswersLocked() || id == nullptr) {
        return nullptr;
    }
    const AnswerKey key{id, code};
    const auto fault = faults_.answers.find(key);
    if (fault != faults_.answers.end()) {
        return fault->second ? "" : nullptr;
    }
    const auto anyId = faults_.anyIdAnswers.find(code);
    if (anyId != faults_.anyIdAnswers.end()) {
        return anyId->second ? "" : nullptr;
    }
    const auto answer = tables_.answers.find(key);
    if (answer == tables_.answers.end()) {
        return "";
    }
    return answer->second ? answer->second->c_str() : nullptr;
}

}  // namespace varnix::station
