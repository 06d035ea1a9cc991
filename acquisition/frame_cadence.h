// When the acquisition loop polls: right after the station's next frame
// becomes pollable, on the station's own clock, which may drift against ours
// and deliver unevenly.
//
// How it learns that clock (a windowed fit, then a quantile-tracking loop):
//  - searching: nothing known (a session start, a silent station): the old
//    cadence, a poll every 10 ms after one that found nothing, and at once
//    after one that found a frame. Each frame taken after an empty poll gives
//    a bracket of up to 10 ms for its moment.
//  - settling: from three brackets on, the period (within an octave of the
//    frame multiple's) and the phase that the most recent brackets agree with
//    (frame_brackets.h); the next poll goes to the middle of the phases still
//    possible, so each frame halves them, like a bisection. A frame that the
//    station held back, or a late one, only lowers the agreement.
//  - tracking: once the phase is pinned to 0.4 ms, the first poll of each
//    frame goes to a point that the frame has reached in 90 % of the last
//    frames (each frame found there moves it 20 us earlier, each one not yet
//    there 180 us later): it sits just after the frame, and the one poll in
//    ten that comes too early keeps it there as the clock drifts. A frame not
//    there is polled again 0.5 ms later, then every 1 ms, while within a
//    window of the frames' spread. When frames come unevenly (one not there
//    at its first retry, or one there at a poll 1 ms early, which every 16th
//    frame gets), the point moves to the median for 64 frames: a frame then
//    waits at most about a step, not the whole spread. The period is refined
//    by least squares through the last 64 brackets of such retries.
// Frames held back past the window are owed and taken at once with the next
// one; no frame for more than two periods, or a missed window twice in a row,
// goes back to searching. A frame found by a backlog check that the line did
// not expect yet (it runs late) makes it settle again.
//
// Never two polls within 0.5 ms when the first found nothing; after the loop
// takes its cap of frames in one cycle, the 10 ms pause, as before.
//
// [acquisition] Owned by the acquisition loop (or a test driving it with a
// scripted clock); not shared. Pure: it is told every poll's outcome and
// time, and never reads a clock, locks, blocks or allocates.
#pragma once

#include "acquisition/frame_brackets.h"
#include "platform/platform.h"

#include <chrono>
#include <cstdint>

namespace varnix {

// The pause after a poll that found no frame while the station's clock is
// not known, and after a cycle that took its cap of frames.
constexpr std::chrono::milliseconds kPollPause{10};

class FrameCadence {
public:
    using Clock = platform::MonotonicClock;

    enum class Mode { kSearching, kSettling, kTracking };

    // `nominalPeriod`: the frame period the station announces (its frame
    // multiple x 13.5 ms); the period found may differ.
    explicit FrameCadence(Clock::duration nominalPeriod);

    // A session start, or a new station: forget the phase, search again.
    void Restart(Clock::duration nominalPeriod);

    // The outcome of one poll made at `at` (read just before the call).
    void Polled(Clock::time_point at, bool found);

    // After a poll that found a frame: whether another may be waiting now
    // (searching, owed frames, a late wake, a backlog check).
    bool PollAgainNow(Clock::time_point now);

    // Where the cycle that ends at `now` should sleep to. `capped`: the cycle
    // took its cap of frames.
    Clock::time_point NextPoll(Clock::time_point now, bool capped);

    Mode CurrentMode() const { return mode_; }
    Clock::duration Period() const;

private:
    double Ns(Clock::time_point at);
    Clock::time_point At(double ns) const;
    void Search();
    void TakeFrame(double atNs, bool checking);
    void SearchFrame(const FrameBracket& bracket);
    void SettleFrame(const FrameBracket& bracket);
    void TrackFrame(const FrameBracket& bracket);
    void Settle();
    void NotePeriodBracket(const FrameBracket& bracket);
    double WindowNs() const;
    double NextPollNs(double nowNs);
    bool Silent(double nowNs) const;

    double nominalNs_;
    double periodNs_;
    Mode mode_ = Mode::kSearching;
    bool originSet_ = false;
    Clock::time_point origin_{};

    double lastMissNs_ = kNoLowerBound;   // the last empty poll since the last frame
    double firstMissNs_ = kNoLowerBound;  // the first at or after the frame's first poll
    double lastFrameNs_ = kNoLowerBound;
    bool lastFound_ = true;
    bool checking_ = false;    // the poll now made looks for a backlog
    bool catchingUp_ = false;  // a backlog check found a frame: drain the rest

    ConsensusRing recent_;
    PeriodRing retries_;
    int64_t frame_ = 0;        // the number of the next frame to take
    double pollNs_ = 0.0;      // the first poll of the frame aimed at
    double halfSpanNs_ = 0.0;  // settling: how far the frame may be from pollNs_
    int settledFrames_ = 0;
    int settleFoundFirst_ = 0;  // settling: frames found at their first poll, in a row
    int owed_ = 0;              // frames whose window passed: held back, taken with the next
    int missedWindows_ = 0;
    int foundInARow_ = 0;    // frames found at their first poll, in a row
    double spreadNs_ = 0.0;  // how long after the first poll frames were found
    bool uneven_ = false;
    int unevenHold_ = 0;    // frames still counted uneven after a probe found one early
    bool probing_ = false;  // the next frame is first looked for early
};

}  // namespace varnix
