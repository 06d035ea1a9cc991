#include "station.h"

#include "default_profile.h"
#include "station_clock.h"

#include <algorithm>
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

size_t ItemCount(const std::optional<std::string>& itemList) {
    return itemList ? static_cast<size_t>(std::count(itemList->begin(), itemList->end(), '|')) : 0;
}

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

// ---- loading ---------------------------------------------------------------

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

// ---- entry points ------------------------------------------------------------

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
    synthesizer_.Restart();
    session_.running = true;
    session_.flowing = false;
    session_.nextSequence = 0;
    session_.startPulseAtNs =
        profile_.startPulseAfterMs ? now + *profile_.startPulseAfterMs * kNsPerMs : kNever;
    session_.stopPulseAtNs =
        profile_.stopPulseAfterMs ? now + *profile_.stopPulseAfterMs * kNsPerMs : kNever;
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
    session_.running = false;
    session_.flowing = false;
    session_.startPulseAtNs = kNever;
    session_.stopPulseAtNs = kNever;
    ClearQueueLocked();
}

void Station::Close() {
    Log("close", "");
    SleepIfSlow();
    std::lock_guard<std::mutex> lock(mutex_);
    EnsureLoadedLocked();
    session_.running = false;
    session_.flowing = false;
    session_.opened = false;
    session_.startPulseAtNs = kNever;
    session_.stopPulseAtNs = kNever;
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
        return DeliverLocked(frame, counters_.framesDelivered, now, std::move(poll.values));
    }
    if (queue_.empty()) {
        return false;
    }
    QueuedFrame next = std::move(queue_.front());
    queue_.pop_front();
    return DeliverLocked(frame, next.sequence, next.readyNs, std::move(next.values));
}

bool Station::DeliverLocked(VarnixFrameBuf* frame, uint64_t sequence, int64_t readyNs,
                            std::vector<float>&& values) {
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
    delivered_.Record(info, current_.data(), current_.size());
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

// ---- the clock -----------------------------------------------------------------

bool Station::ProducingLocked() const {
    return !scriptMode_ && profileError_.empty() && !faults_.disconnected && session_.opened &&
           session_.running && session_.flowing;
}

void Station::BeginFlowLocked(int64_t atNs) {
    session_.flowing = true;
    session_.flowStartNs = atNs;
    session_.framesSinceFlowStart = 0;
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
        if (next == disconnectAt) {
            faults_.disconnectAtNs = kNever;
            DisconnectLocked();
        } else if (next == session_.startPulseAtNs) {
            session_.startPulseAtNs = kNever;
            StartPulseLocked(next);
        } else {
            session_.stopPulseAtNs = kNever;
            StopPulseLocked(next);
        }
    }
    ProduceUntilLocked(nowNs);
}

void Station::ProduceUntilLocked(int64_t untilNs) {
    if (!ProducingLocked()) {
        return;
    }
    const int64_t period = static_cast<int64_t>(tables_.frameMultiple) * kBaseFramePeriodNs;
    for (;;) {
        const int64_t ready =
            session_.flowStartNs + static_cast<int64_t>(session_.framesSinceFlowStart + 1) * period;
        if (ready > untilNs) {
            break;
        }
        ProduceOneLocked(ready);
        ++session_.framesSinceFlowStart;
    }
}

void Station::ProduceOneLocked(int64_t readyNs) {
    QueuedFrame frame;
    if (!spareBuffers_.empty()) {
        frame.values = std::move(spareBuffers_.back());
        spareBuffers_.pop_back();
    }
    frame.values.resize(synthesizer_.FrameValueCount());
    synthesizer_.Produce(frame.values.data());
    frame.sequence = session_.nextSequence++;
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

void Station::StartPulseLocked(int64_t atNs) {
    if (session_.running && session_.startInput && !session_.flowing) {
        BeginFlowLocked(atNs);
    }
}

void Station::StopPulseLocked(int64_t atNs) {
    if (session_.running && session_.stopInput && session_.flowing) {
        ProduceUntilLocked(atNs);
        session_.flowing = false;
    }
}

// ---- script mode ---------------------------------------------------------------

void Station::EnterScriptModeLocked() {
    EnsureLoadedLocked();
    if (scriptMode_) {
        return;
    }
    scriptMode_ = true;
    tables_ = StationTables{};
    tables_.itemList = std::string();
    session_ = Session{};
    ClearQueueLocked();
    TablesChangedLocked();
}

void Station::ScriptItemList(const char* itemList) {
    std::lock_guard<std::mutex> lock(mutex_);
    EnterScriptModeLocked();
    tables_.itemList = itemList ? std::optional<std::string>(itemList) : std::nullopt;
    TablesChangedLocked();
}

void Station::ScriptFrameMultiple(int32_t frameMultiple) {
    std::lock_guard<std::mutex> lock(mutex_);
    EnterScriptModeLocked();
    tables_.frameMultiple = frameMultiple;
    TablesChangedLocked();
}

void Station::ScriptRates(const double* rates, size_t count) {
    std::lock_guard<std::mutex> lock(mutex_);
    EnterScriptModeLocked();
    tables_.rates.assign(rates, rates == nullptr ? rates : rates + count);
    TablesChangedLocked();
}

void Station::ScriptAnswer(const char* id, int32_t code, const char* answer) {
    if (id == nullptr) {
        return;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    EnterScriptModeLocked();
    tables_.answers[{id, code}] = answer ? std::optional<std::string>(answer) : std::nullopt;
    TablesChangedLocked();
}

void Station::ScriptFrame(const float* values, size_t count) {
    ScriptedPoll poll;
    poll.frame = true;
    if (values != nullptr) {
        poll.values.assign(values, values + count);
    }
    std::lock_guard<std::mutex> lock(mutex_);
    EnterScriptModeLocked();
    scriptedPolls_.push_back(std::move(poll));
}

void Station::ScriptPollFalse(size_t count) {
    std::lock_guard<std::mutex> lock(mutex_);
    EnterScriptModeLocked();
    scriptedPolls_.insert(scriptedPolls_.end(), count, ScriptedPoll{});
}

void Station::ScriptConfigureResult(int result) {
    std::lock_guard<std::mutex> lock(mutex_);
    EnterScriptModeLocked();
    configureResult_ = result;
}

// ---- observation ---------------------------------------------------------------

void Station::GetCounters(VarnixSimCounters* out) {
    if (out == nullptr) {
        return;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    EnsureLoadedLocked();
    AdvanceLocked(MonotonicNowNs());
    *out = counters_;
    out->objectsCreated = objectsCreated_.load();
    out->objectsDeleted = objectsDeleted_.load();
}

bool Station::GetDeliveredFrame(uint64_t deliveryIndex, VarnixSimFrameInfo* info, float* values,
                                size_t capacity) {
    std::lock_guard<std::mutex> lock(mutex_);
    return delivered_.Get(deliveryIndex, info, values, capacity);
}

size_t Station::SensorCount() {
    std::lock_guard<std::mutex> lock(mutex_);
    EnsureLoadedLocked();
    if (geometryStale_) {
        geometry_ = GeometryFromTables(tables_);
        geometryStale_ = false;
    }
    return geometry_.size();
}

int32_t Station::SamplesPerFrame(size_t sensor) {
    SensorCount();
    std::lock_guard<std::mutex> lock(mutex_);
    return sensor < geometry_.size() ? geometry_[sensor].samplesPerStream : 0;
}

int32_t Station::StreamCount(size_t sensor) {
    SensorCount();
    std::lock_guard<std::mutex> lock(mutex_);
    return sensor < geometry_.size() ? geometry_[sensor].streams : 0;
}

int32_t Station::FrameMultiple() {
    std::lock_guard<std::mutex> lock(mutex_);
    EnsureLoadedLocked();
    return tables_.frameMultiple;
}

// ---- triggers and faults ---------------------------------------------------------

void Station::StartPulse() {
    std::lock_guard<std::mutex> lock(mutex_);
    EnsureLoadedLocked();
    const int64_t now = MonotonicNowNs();
    AdvanceLocked(now);
    StartPulseLocked(now);
}

void Station::StopPulse() {
    std::lock_guard<std::mutex> lock(mutex_);
    EnsureLoadedLocked();
    const int64_t now = MonotonicNowNs();
    AdvanceLocked(now);
    StopPulseLocked(now);
}

void Station::FailPollsFor(int64_t milliseconds) {
    std::lock_guard<std::mutex> lock(mutex_);
    EnsureLoadedLocked();
    faults_.failPollsUntilNs = MonotonicNowNs() + milliseconds * kNsPerMs;
}

void Station::FaultAnswer(const char* id, int32_t code, bool empty) {
    std::lock_guard<std::mutex> lock(mutex_);
    EnsureLoadedLocked();
    if (id == nullptr) {
        faults_.anyIdAnswers[code] = empty;
    } else {
        faults_.answers[{id, code}] = empty;
    }
}

void Station::FaultItemList(bool empty) {
    std::lock_guard<std::mutex> lock(mutex_);
    EnsureLoadedLocked();
    faults_.itemList = empty;
}

void Station::DisconnectAfter(int64_t milliseconds) {
    std::lock_guard<std::mutex> lock(mutex_);
    EnsureLoadedLocked();
    const int64_t now = MonotonicNowNs();
    AdvanceLocked(now);
    faults_.disconnectAtNs = now + std::max<int64_t>(0, milliseconds) * kNsPerMs;
    AdvanceLocked(now);
}

void Station::Reconnect() {
    std::lock_guard<std::mutex> lock(mutex_);
    EnsureLoadedLocked();
    const int64_t now = MonotonicNowNs();
    AdvanceLocked(now);
    faults_.disconnectAtNs = kNever;
    if (faults_.disconnected) {
        faults_.disconnected = false;
        // Frames resume from now; none pile up for the time away.
        if (session_.flowing) {
            BeginFlowLocked(now);
        }
    }
}

void Station::ClearFaults() {
    Reconnect();
    slowMs_.store(0);
    std::lock_guard<std::mutex> lock(mutex_);
    faults_ = Faults{};
}

}  // namespace varnix::station
