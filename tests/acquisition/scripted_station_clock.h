// A station whose clock the test scripts, and virtual time around it: the
// acquisition loop runs on the test's own thread through this environment,
// sleeping costs nothing, and every poll is recorded with the moment its
// frame became pollable. Frames drift, jitter, are held back, stall or
// restart as scripted; wakes come 20 to 120 us after their deadline.
#pragma once

#include "acquisition/acquisition_loop.h"
#include "acquisition/acquisition_signal.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace acquisition_test {

struct StationScript {
    double periodMs = 13.5;
    double driftPpm = 0.0;                               // the station's clock runs this much fast
    std::optional<std::pair<double, double>> driftStep;  // at second s, the drift becomes ppm
    double jitterMs = 0.0;     // a frame becomes pollable 0 to this after its due time
    int burstEvery = 0;        // every Nth frame is held and comes with the next
    double firstDueMs = 13.5;  // after the start of virtual time
    std::optional<std::pair<double, double>> silence;  // from, to (s): no frames due then
    std::optional<std::pair<double, double>> restart;  // at s, frames begin anew after ms
    bool answersForEver = false;                       // every poll finds a frame
    // A poll that finds a frame returns this long after the station looked
    // (it makes or copies the frame inside the call).
    double foundPollMs = 0.0;
    double seconds = 20.0;  // of virtual time, then the loop is stopped
};

class ScriptedStationClock final : public varnix::LoopEnvironment {
public:
    struct PollRecord {
        double atMs;
        bool found;
        int64_t frame;  // found: which one
    };

    ScriptedStationClock(const StationScript& script, varnix::AcquisitionSignal& signal)
        : script_(script), signal_(signal) {
        MakeFrames();
        signal_.Arm();
    }

    Clock::time_point Now() override { return Clock::time_point(Ns(nowMs_)); }

    bool Poll(VarnixFrameBuf& frame) override {
        nowMs_ += 0.002;
        const bool found =
            script_.answersForEver || (next_ < pollable_.size() && pollable_[next_] <= nowMs_);
        polls_.push_back({nowMs_, found, found ? static_cast<int64_t>(next_) : -1});
        if (found) {
            ++next_;
            frame.samples = values_.data();
            nowMs_ += script_.foundPollMs;
        }
        return found;
    }

    bool PauseUntil(Clock::time_point deadline) override {
        pauses_.push_back(nowMs_);
        const double wantMs = std::chrono::duration<double, std::milli>(deadline - Now()).count();
        nowMs_ += std::max(0.0, wantMs) + WakeLatencyMs();
        if (stall_ && nowMs_ >= stall_->first && nowMs_ < stall_->second) {
            nowMs_ = stall_->second + WakeLatencyMs();
        }
        if (onWake_) onWake_(nowMs_);
        if (nowMs_ >= script_.seconds * 1000.0) {
            signal_.RequestStop();
            return false;
        }
        return true;
    }

    // The loop's thread wakes no sooner than `toMs` once it passes `fromMs`.
    void StallBetween(double fromMs, double toMs) { stall_ = {fromMs, toMs}; }
    // Called at every wake with the virtual time (on the loop's thread).
    void OnWake(std::function<void(double)> onWake) { onWake_ = std::move(onWake); }

    const std::vector<PollRecord>& Polls() const { return polls_; }
    const std::vector<double>& PauseStarts() const { return pauses_; }
    double PollableMs(int64_t frame) const { return pollable_[static_cast<size_t>(frame)]; }
    size_t FramesTaken() const { return next_; }

    // The first frame due at or after `ms`.
    int64_t FrameDueFrom(double ms) const {
        return std::lower_bound(due_.begin(), due_.end(), ms) - due_.begin();
    }

    // How long each frame taken waited at the station, by frame number.
    std::vector<double> WaitsMs() const {
        std::vector<double> waits(next_, 0.0);
        for (const PollRecord& poll : polls_) {
            if (poll.found && !script_.answersForEver)
                waits[static_cast<size_t>(poll.frame)] = poll.atMs - PollableMs(poll.frame);
        }
        return waits;
    }

private:
    static std::chrono::nanoseconds Ns(double ms) {
        return std::chrono::nanoseconds(static_cast<int64_t>(ms * 1e6));
    }

    double WakeLatencyMs() { return 0.020 + 0.100 * Random(); }

    double Random() {
        seed_ = seed_ * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<double>(seed_ >> 11) / 9007199254740992.0;
    }

    void MakeFrames() {
        double ppm = script_.driftPpm;
        double due = script_.firstDueMs;
        bool restarted = false;
        while (due < script_.seconds * 1000.0 + 100.0) {
            if (script_.restart && !restarted && due >= script_.restart->first * 1000.0) {
                restarted = true;
                due = script_.restart->first * 1000.0 + script_.restart->second;
            }
            const bool silent = script_.silence && due >= script_.silence->first * 1000.0 &&
                                due < script_.silence->second * 1000.0;
            if (!silent) due_.push_back(due);
            if (script_.driftStep && due >= script_.driftStep->first * 1000.0)
                ppm = script_.driftStep->second;
            due += script_.periodMs / (1.0 + ppm * 1e-6);
        }
        pollable_.resize(due_.size());
        for (size_t k = 0; k < due_.size(); ++k)
            pollable_[k] = due_[k] + script_.jitterMs * Random();
        for (size_t k = 0; script_.burstEvery > 0 && k + 1 < due_.size(); ++k) {
            if ((k + 1) % static_cast<size_t>(script_.burstEvery) == 0)
                pollable_[k] = pollable_[k + 1];
        }
        for (size_t k = 1; k < pollable_.size(); ++k)  // the station keeps the order
            pollable_[k] = std::max(pollable_[k], pollable_[k - 1]);
    }

    StationScript script_;
    varnix::AcquisitionSignal& signal_;
    std::vector<double> due_;
    std::vector<double> pollable_;
    std::vector<float> values_ = std::vector<float>(16, 0.0f);
    size_t next_ = 0;
    double nowMs_ = 0.0;
    uint64_t seed_ = 22;
    std::optional<std::pair<double, double>> stall_;
    std::function<void(double)> onWake_;
    std::vector<PollRecord> polls_;
    std::vector<double> pauses_;
};

}  // namespace acquisition_test
