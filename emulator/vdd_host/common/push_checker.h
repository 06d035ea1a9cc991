// Checks every push against the device's own history and against what the
// station delivered: first-sample index continuity, the values themselves
// (a reordered, shifted or altered slice fails, not only a gap), skipped
// frames, and latency from the frame's ready time to the push.
//
// The plug-in hands every delivered frame to every device in order, so once
// a device's first push is matched to a delivery, its j-th push must hold
// the slice of the delivery j places later.
#pragma once

#include "emulator/push_record.h"
#include "emulator/vdd_host/common/device_layout.h"
#include "emulator/vdd_host/common/latency_histogram.h"
#include "emulator/vdd_host/common/push_sink.h"
#include "emulator/vdd_host/common/station_observer.h"

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace varnix::vddhost {

struct DeviceTally {
    uint64_t pushes = 0;
    uint64_t samples = 0;         // samples per stream received
    int32_t samplesPerFrame = 0;  // of the last push
    int64_t firstPushNs = 0;
    int64_t lastPushNs = 0;
    int64_t nextIndex = 0;         // first-sample index the next push should carry
    uint64_t indexBreaks = 0;      // first-sample index not continuing
    uint64_t skippedFrames = 0;    // deliveries the device never got
    uint64_t valueMismatches = 0;  // slice differs from the delivered frame
    uint64_t framesNotKept = 0;    // the station no longer kept the frame to compare
    std::optional<uint64_t> firstDelivery;
    uint64_t pushesBeforeCutoff = 0;  // pushes holding a delivery before the cutoff
    uint64_t nextDelivery = 0;
    bool alignmentFailed = false;
    LatencyHistogram latency;  // frame ready to push, one entry per matched push
    std::map<int32_t, std::pair<int64_t, int64_t>>
        sessionSpans;  // session -> first, last push time
    std::map<int32_t, uint64_t> sessionPushes;
    std::vector<std::string> problems;  // the first few, one line each
};

// The frames the station delivered from a device's first push up to `end`
// (exclusive; the checker's cutoff or the station's delivered count), and how
// many of them never reached the device. Empty while no push of the device
// has been matched to a delivery (a real station, or nothing pushed yet).
struct DeliveryAccount {
    int64_t due = 0;
    int64_t missing = 0;  // negative: more pushes than deliveries
};
std::optional<DeliveryAccount> AccountDeliveries(const DeviceTally& tally, uint64_t end);

// Enqueue runs on the plug-in's hand-off threads [handoff]; everything else
// on the host's main thread [host]. The queue mutex is held only to move
// pushes in or out, never while the station is asked. What the checker keeps
// per device is what the next check needs (the delivery it expects next, the
// index, a bounded latency histogram) plus a few frames of the station's for
// comparison, so its memory stays flat however long the capture runs.
class PushChecker {
public:
    static constexpr size_t kProblemsKept = 5;

    PushChecker(const StationObserver& station, std::vector<DeviceLayout> layouts);

    // [host] From the next Drain on, every checked push is handed to `sink`
    // too, in registration order. The sink outlives the checker's use of it.
    void AddSink(PushSink& sink) { sinks_.push_back(&sink); }

    // [handoff] Copies the lent push; asks the station for its delivered
    // count (a short lock inside the station). Allocates.
    void Enqueue(const emulator::PushView& push);

    // [host] The host's call that resets the device's sample numbering
    // (SessionOpened, SoftwareStartTrigger) has just returned: one later push
    // may restart at 0. Call it after the reset, not before: a push may come
    // between the two, and only the time after tells which pushes the reset
    // can no longer touch.
    void NoteIndexReset(size_t device);

    // [host] Checks everything queued so far.
    void Drain();

    // [host] Deliveries from `delivered` on need not reach every device: the
    // capture ends there, and a plug-in may stop between two devices of the
    // pass that Shutdown interrupts. Unset, every delivery counts.
    void SetDeliveryCutoff(uint64_t delivered) { cutoff_ = delivered; }
    std::optional<uint64_t> DeliveryCutoff() const { return cutoff_; }

    const std::vector<DeviceLayout>& Layouts() const { return layouts_; }
    const DeviceTally& Tally(size_t device) const { return tallies_.at(device); }
    size_t DeviceCount() const { return layouts_.size(); }
    bool ValuesChecked() const { return station_.Simulated(); }
    // [host] Pushes per pushing thread's name, and how many distinct threads
    // carried that name. A thread is counted when it first pushes through
    // this checker (a thread-local mark, not a set of ids: the plug-in may
    // start a thread per frame).
    struct ThreadUse {
        uint64_t calls = 0;
        size_t threads = 0;
    };
    std::map<std::string, ThreadUse> PushThreads() const;

private:
    struct Queue {
        std::mutex mutex;
        std::deque<CapturedPush> pushes;
        std::map<std::string, ThreadUse> threads;  // pushing thread's name -> use
    };
    struct Frame {
        VarnixSimFrameInfo info{};
        std::vector<float> values;
    };

    void Check(size_t device, CapturedPush& push);
    void CheckIndex(size_t device, const CapturedPush& push, int64_t previousPushNs);
    PushNotes CheckValues(size_t device, const CapturedPush& push);
    bool Align(size_t device, const CapturedPush& push);
    bool SliceMatches(size_t device, const CapturedPush& push, uint64_t delivery);
    // Samples per frame and value count as the station's layout has them.
    static bool SizedLikeTheStationsSlice(const DeviceLayout& layout, const CapturedPush& push);
    const Frame* FetchFrame(uint64_t delivery);
    void EvictFrames();
    void Problem(size_t device, std::string line);

    const StationObserver& station_;     // outlives the checker
    std::vector<DeviceLayout> layouts_;  // fixed at construction
    const uint64_t id_;                  // tells checkers apart in the thread-local mark
    std::vector<std::unique_ptr<Queue>>
        queues_;                        // [handoff] fills, [host] empties; each under its mutex
    std::vector<DeviceTally> tallies_;  // [host] only
    // [host] only. Per device, when each reset not yet seen in the pushes
    // returned (CLOCK_MONOTONIC), oldest first.
    std::vector<std::deque<int64_t>> resetNotes_;
    std::vector<PushSink*> sinks_;      // [host] only
    std::map<uint64_t, Frame> frames_;  // delivery index -> frame, [host] only
    std::optional<uint64_t> cutoff_;    // [host] only
};

}  // namespace varnix::vddhost
