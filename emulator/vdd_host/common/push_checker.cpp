#include "emulator/vdd_host/common/push_checker.h"

#include "emulator/thread_identity.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <utility>

namespace varnix::vddhost {

namespace {

// How many deliveries after the expected one are searched when a slice does
// not match, to tell skipped frames from altered ones.
constexpr uint64_t kResyncWindow = 16;
// Frames the simulated station keeps for comparison.
constexpr uint64_t kStationKeeps = 4096;

std::atomic<uint64_t> gNextCheckerId{1};
// [handoff] The checker this thread last pushed through: a thread counts as
// new for a checker at its first push there.
thread_local uint64_t tLastChecker = 0;

}  // namespace

std::optional<DeliveryAccount> AccountDeliveries(const DeviceTally& tally, uint64_t end) {
    if (!tally.firstDelivery) return std::nullopt;
    DeliveryAccount account;
    account.due = static_cast<int64_t>(end) - static_cast<int64_t>(*tally.firstDelivery);
    account.missing = account.due - static_cast<int64_t>(tally.pushesBeforeCutoff);
    return account;
}

PushChecker::PushChecker(const StationObserver& station, std::vector<DeviceLayout> layouts)
    : station_(station), layouts_(std::move(layouts)), id_(gNextCheckerId.fetch_add(1)) {
    for (size_t d = 0; d < layouts_.size(); ++d) queues_.push_back(std::make_unique<Queue>());
    tallies_.resize(layouts_.size());
    resetNotes_.resize(layouts_.size());
}

void PushChecker::Enqueue(const emulator::PushView& view) {
    if (view.device >= queues_.size()) return;
    CapturedPush push;
    push.sessionId = view.sessionId;
    push.firstSampleIndex = view.firstSampleIndex;
    push.samplesPerFrame = view.samplesPerFrame;
    push.valueCount = view.valueCount;
    if (view.values != nullptr && view.valueCount > 0)
        push.values.assign(view.values, view.values + view.valueCount);
    push.timeNs = view.timeNs;
    push.deliveredAtPush = station_.Counters().framesDelivered;
    std::string threadName = emulator::CurrentThreadName();
    const bool newThread = tLastChecker != id_;
    tLastChecker = id_;
    Queue& queue = *queues_[view.device];
    std::lock_guard<std::mutex> lock(queue.mutex);
    queue.pushes.push_back(std::move(push));
    ThreadUse& use = queue.threads[threadName];
    ++use.calls;
    use.threads += newThread ? 1 : 0;
}

std::map<std::string, PushChecker::ThreadUse> PushChecker::PushThreads() const {
    std::map<std::string, ThreadUse> uses;
    for (const auto& queue : queues_) {
        std::lock_guard<std::mutex> lock(queue->mutex);
        for (const auto& [name, use] : queue->threads) {
            uses[name].calls += use.calls;
            uses[name].threads += use.threads;
        }
    }
    return uses;
}

void PushChecker::NoteIndexReset(size_t device) {
    if (device < resetNotes_.size()) resetNotes_[device].push_back(emulator::MonotonicNowNs());
}

void PushChecker::Drain() {
    for (size_t d = 0; d < queues_.size(); ++d) {
        std::deque<CapturedPush> batch;
        {
            std::lock_guard<std::mutex> lock(queues_[d]->mutex);
            batch.swap(queues_[d]->pushes);
        }
        for (CapturedPush& push : batch) Check(d, push);
    }
    EvictFrames();
}

void PushChecker::Problem(size_t device, std::string line) {
    auto& problems = tallies_[device].problems;
    if (problems.size() < kProblemsKept) problems.push_back(std::move(line));
}

void PushChecker::Check(size_t device, CapturedPush& push) {
    DeviceTally& tally = tallies_[device];
    if (tally.pushes == 0) tally.firstPushNs = push.timeNs;
    const int64_t previousPushNs = tally.lastPushNs;
    tally.lastPushNs = push.timeNs;
    ++tally.pushes;
    tally.samples += static_cast<uint64_t>(std::max(push.samplesPerFrame, 0));
    tally.samplesPerFrame = push.samplesPerFrame;
    auto span =
        tally.sessionSpans.emplace(push.sessionId, std::make_pair(push.timeNs, push.timeNs));
    span.first->second.second = push.timeNs;
    ++tally.sessionPushes[push.sessionId];
    CheckIndex(device, push, previousPushNs);
    const PushNotes notes = station_.Simulated() ? CheckValues(device, push) : PushNotes{};
    for (PushSink* sink : sinks_) sink->Take(device, push, notes);
}

void PushChecker::CheckIndex(size_t device, const CapturedPush& push, int64_t previousPushNs) {
    DeviceTally& tally = tallies_[device];
    std::deque<int64_t>& resets = resetNotes_[device];
    const bool first = tally.pushes == 1;
    const bool continues = first || push.firstSampleIndex == tally.nextIndex;
    if (!continues) {
        if (push.firstSampleIndex == 0 && !resets.empty()) {
            resets.pop_front();
        } else {
            ++tally.indexBreaks;
            Problem(device, "push #" + std::to_string(tally.pushes - 1) + " starts at sample " +
                                std::to_string(push.firstSampleIndex) + ", expected " +
                                std::to_string(tally.nextIndex));
        }
    } else if (!first) {
        // The numbering runs on, and the push before this one began after
        // these resets returned: each has shown (a restart already counted)
        // or had nothing to reset. A first push proves nothing: it may have
        // come before its reset, which then restarts the next one.
        while (!resets.empty() && resets.front() < previousPushNs) resets.pop_front();
    }
    tally.nextIndex = push.firstSampleIndex + push.samplesPerFrame;
}

const PushChecker::Frame* PushChecker::FetchFrame(uint64_t delivery) {
    auto found = frames_.find(delivery);
    if (found != frames_.end()) return &found->second;
    Frame frame;
    if (!station_.DeliveredFrame(delivery, frame.info, frame.values)) return nullptr;
    return &frames_.emplace(delivery, std::move(frame)).first->second;
}

bool PushChecker::SizedLikeTheStationsSlice(const DeviceLayout& layout, const CapturedPush& push) {
    if (layout.samplesPerFrame <= 0) return true;  // the station's layout is not known
    const size_t values = static_cast<size_t>(layout.samplesPerFrame) * layout.streams.size();
    return push.samplesPerFrame == layout.samplesPerFrame && push.values.size() == values;
}

bool PushChecker::SliceMatches(size_t device, const CapturedPush& push, uint64_t delivery) {
    const Frame* frame = FetchFrame(delivery);
    const DeviceLayout& layout = layouts_[device];
    if (frame == nullptr || !layout.frameOffset) return false;
    const size_t offset = *layout.frameOffset;
    const size_t count = push.values.size();
    if (static_cast<size_t>(push.valueCount) != count || offset + count > frame->values.size())
        return false;
    // The whole slice, as the station lays it out: a push one sample per
    // stream short would otherwise match the front of it.
    if (!SizedLikeTheStationsSlice(layout, push)) return false;
    // Values are opaque 4-byte quantities: compare the bytes, so NaNs and
    // negative zeros count as delivered.
    return count == 0 || std::memcmp(frame->values.data() + offset, push.values.data(),
                                     count * sizeof(float)) == 0;
}

bool PushChecker::Align(size_t device, const CapturedPush& push) {
    DeviceTally& tally = tallies_[device];
    // The push's frame was delivered before the push began; search back
    // from there, newest first.
    const uint64_t newest = push.deliveredAtPush;
    const uint64_t oldest = newest > kStationKeeps ? newest - kStationKeeps : 0;
    for (uint64_t delivery = newest; delivery-- > oldest;) {
        if (SliceMatches(device, push, delivery)) {
            tally.firstDelivery = delivery;
            tally.nextDelivery = delivery;
            return true;
        }
    }
    tally.alignmentFailed = true;
    ++tally.valueMismatches;
    const DeviceLayout& layout = layouts_[device];
    const std::string shape =
        SizedLikeTheStationsSlice(layout, push)
            ? std::string()
            : ": it carries " + std::to_string(push.samplesPerFrame) + " samples per stream (" +
                  std::to_string(push.values.size()) + " values), the station's frames " +
                  std::to_string(layout.samplesPerFrame) + " (" +
                  std::to_string(static_cast<size_t>(layout.samplesPerFrame) *
                                 layout.streams.size()) +
                  " values)";
    Problem(device, "the first push matches no frame the station delivered (searched deliveries " +
                        std::to_string(oldest) + " to " +
                        std::to_string(newest == 0 ? 0 : newest - 1) + ")" + shape);
    return false;
}

PushNotes PushChecker::CheckValues(size_t device, const CapturedPush& push) {
    DeviceTally& tally = tallies_[device];
    PushNotes notes;
    if (tally.alignmentFailed || !layouts_[device].frameOffset) return notes;
    if (!tally.firstDelivery && !Align(device, push)) return notes;
    const uint64_t expected = tally.nextDelivery;
    if (FetchFrame(expected) == nullptr && expected < push.deliveredAtPush) {
        ++tally.framesNotKept;
        tally.nextDelivery = expected + 1;
        return notes;
    }
    uint64_t matched = expected;
    bool found = SliceMatches(device, push, expected);
    for (uint64_t later = expected + 1; !found && later <= expected + kResyncWindow; ++later) {
        if (SliceMatches(device, push, later)) {
            found = true;
            matched = later;
        }
    }
    // An earlier delivery again (a repeat, or the second of two swapped
    // pushes): an error, after which the checks follow the device from there.
    const uint64_t earliest = expected > kResyncWindow ? expected - kResyncWindow : 0;
    for (uint64_t earlier = expected; !found && earlier-- > earliest;) {
        if (SliceMatches(device, push, earlier)) {
            ++tally.valueMismatches;
            Problem(device, "push #" + std::to_string(tally.pushes - 1) + " repeats delivery " +
                                std::to_string(earlier) + " where delivery " +
                                std::to_string(expected) + " was due");
            tally.nextDelivery = earlier + 1;
            return notes;
        }
    }
    if (!found) {
        ++tally.valueMismatches;
        Problem(device, "push #" + std::to_string(tally.pushes - 1) + " (first sample " +
                            std::to_string(push.firstSampleIndex) +
                            ") differs from its slice of delivery " + std::to_string(expected));
        tally.nextDelivery = expected + 1;
        return notes;
    }
    if (matched != expected) {
        tally.skippedFrames += matched - expected;
        notes.skippedBefore = matched - expected;
        Problem(device, "push #" + std::to_string(tally.pushes - 1) + " holds delivery " +
                            std::to_string(matched) + "; deliveries " + std::to_string(expected) +
                            " to " + std::to_string(matched - 1) + " never reached the device");
    }
    tally.nextDelivery = matched + 1;
    if (!cutoff_ || matched < *cutoff_) ++tally.pushesBeforeCutoff;
    notes.frameReadyNs = FetchFrame(matched)->info.readyTimeNs;
    tally.latency.Record(push.timeNs - notes.frameReadyNs);
    return notes;
}

void PushChecker::EvictFrames() {
    uint64_t needed = UINT64_MAX;
    for (const DeviceTally& tally : tallies_) {
        if (tally.firstDelivery && !tally.alignmentFailed)
            needed = std::min(needed, tally.nextDelivery);
    }
    if (needed == UINT64_MAX) {
        frames_.clear();
        return;
    }
    frames_.erase(frames_.begin(),
                  frames_.lower_bound(needed > kResyncWindow ? needed - kResyncWindow : 0));
}

}  // namespace varnix::vddhost
