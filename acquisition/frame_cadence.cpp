#include "acquisition/frame_cadence.h"

#include <algorithm>
#include <cmath>

namespace varnix {

namespace {

constexpr double kUs = 1e3;
constexpr double kMs = 1e6;

constexpr double kPauseNs = 10 * kMs;        // the old cadence, while searching
constexpr double kFirstRetryNs = 0.5 * kMs;  // after an empty poll, at the soonest
constexpr double kRetryStepNs = 1 * kMs;     // after that
constexpr double kMinWindowNs = 1 * kMs;     // how long a frame is looked for past its poll
constexpr double kWindowMarginNs = 0.5 * kMs;
constexpr double kLateWakeNs = 1 * kMs;  // a wake this late tells nothing of the phase
constexpr double kTieNs = 1 * kUs;       // moments this close count as one

constexpr size_t kSearchBrackets = 3;         // bracketed frames before settling
constexpr double kSettledSpanNs = 0.4 * kMs;  // a phase pinned this tightly is tracked
constexpr int kSettleFrames = 3;
// A scan of every period (242 phase consensuses, each a sort of the
// brackets) costs more than the rest of a frame's pass. On a busy machine
// wake-ups keep the phase wide and settling lasts: scanned on every frame,
// it kept the loop 30 frames behind under ThreadSanitizer beside three
// other captures. So the periods are scanned when settling begins and on
// every 8th frame of it; between, the phase is found at the period in hand.
constexpr int kFullScanEvery = 8;
constexpr int kMaxSettleBack = 6;  // found first in a row: the span the poll moves back doubles

constexpr double kStepNs = 200 * kUs;  // the quantile tracker's step
constexpr double kEvenQuantile = 0.9;  // frames on time: poll just after nearly all
constexpr double kUnevenQuantile = 0.5;
constexpr double kSpreadDecay = 0.99;  // per frame
// Frames count as uneven for 64 frames after one was not there yet at its
// first retry (0.5 ms after its first poll found nothing), or was there at a
// poll 1 ms or more before its first poll. Just after the 90 % point a poll
// cannot see the second: every 16th frame is first looked for 1 ms early.
constexpr double kUnevenLateNs = 0.45 * kMs;
constexpr int64_t kProbeEvery = 16;
constexpr double kProbeEarlyNs = 1 * kMs;
constexpr int kUnevenHoldFrames = 64;

constexpr int kCheckAfterFound = 12;  // first polls found in a row, then a backlog check
constexpr int kCheckEvery = 4;
constexpr int kBoostAfterFound = 20;  // then the quantile step doubles every 4 frames
constexpr double kMaxBoostDoublings = 8;

constexpr double kPeriodTolerance = 0.02;  // a refined period stays this close
constexpr int kSilentPeriods = 2;          // tracking: no frame this long is silence
constexpr int kLostPeriods = 6;            // settling: this long, search again
constexpr int kSearchSilentPeriods = 3;

double NsOf(std::chrono::nanoseconds duration) {
    return static_cast<double>(duration.count());
}

}  // namespace

FrameCadence::FrameCadence(Clock::duration nominalPeriod)
    : nominalNs_(NsOf(nominalPeriod)), periodNs_(nominalNs_) {}

void FrameCadence::Restart(Clock::duration nominalPeriod) {
    nominalNs_ = NsOf(nominalPeriod);
    periodNs_ = nominalNs_;
    lastMissNs_ = kNoLowerBound;
    lastFrameNs_ = kNoLowerBound;
    lastFound_ = true;
    checking_ = false;
    Search();
}

FrameCadence::Clock::duration FrameCadence::Period() const {
    return std::chrono::nanoseconds(std::llround(periodNs_));
}

double FrameCadence::Ns(Clock::time_point at) {
    if (!originSet_) {
        origin_ = at;
        originSet_ = true;
    }
    return NsOf(at - origin_);
}

FrameCadence::Clock::time_point FrameCadence::At(double ns) const {
    return origin_ + std::chrono::nanoseconds(std::llround(ns));
}

void FrameCadence::Search() {
    mode_ = Mode::kSearching;
    recent_.Clear();
    retries_.Clear();
    frame_ = 0;
    owed_ = 0;
    missedWindows_ = 0;
    foundInARow_ = 0;
    settledFrames_ = 0;
    spreadNs_ = 0.0;
    uneven_ = false;
    unevenHold_ = 0;
    probing_ = false;
    catchingUp_ = false;
}

void FrameCadence::Polled(Clock::time_point at, bool found) {
    const double atNs = Ns(at);
    const bool checking = checking_;
    checking_ = false;
    lastFound_ = found;
    if (!found) {
        lastMissNs_ = atNs;
        if (firstMissNs_ == kNoLowerBound && atNs >= pollNs_ - kTieNs) {
            firstMissNs_ = atNs;  // the frame's first poll (not a probe) found nothing
        }
        catchingUp_ = false;
        return;
    }
    if (owed_ > 0) {
        --owed_;  // a frame held back: no news of the clock
    } else {
        TakeFrame(atNs, checking);
    }
    catchingUp_ = catchingUp_ || checking;
    lastFrameNs_ = atNs;
    lastMissNs_ = kNoLowerBound;
    firstMissNs_ = kNoLowerBound;
}

void FrameCadence::TakeFrame(double atNs, bool checking) {
    const FrameBracket bracket{frame_, lastMissNs_, atNs};
    switch (mode_) {
        case Mode::kSearching:
            SearchFrame(bracket);
            break;
        case Mode::kSettling:
            SettleFrame(bracket);
            break;
        case Mode::kTracking:
            if (checking && atNs < pollNs_) {
                // A frame the line did not expect yet was waiting: it runs late.
                ++frame_;
                recent_.Add(bracket);
                mode_ = Mode::kSettling;
                settledFrames_ = 0;
                settleFoundFirst_ = 1;
                owed_ = 0;
                missedWindows_ = 0;
                Settle();
                return;
            }
            TrackFrame(bracket);
            break;
    }
}

void FrameCadence::SearchFrame(const FrameBracket& bracket) {
    if (bracket.afterNs == kNoLowerBound && recent_.Size() == 0) {
        return;  // count from a frame with an empty poll before it
    }
    recent_.Add(bracket);
    ++frame_;
    size_t bracketed = 0;
    for (size_t i = 0; i < recent_.Size(); ++i) {
        bracketed += recent_[i].afterNs != kNoLowerBound ? 1 : 0;
    }
    if (bracketed >= kSearchBrackets) {
        mode_ = Mode::kSettling;
        settledFrames_ = 0;
        settleFoundFirst_ = 0;
        Settle();
    }
}

void FrameCadence::SettleFrame(const FrameBracket& bracket) {
    recent_.Add(bracket);
    const bool foundFirst = bracket.afterNs < pollNs_ - kTieNs;
    settleFoundFirst_ = foundFirst ? std::min(settleFoundFirst_ + 1, kMaxSettleBack) : 0;
    ++frame_;
    ++settledFrames_;
    Settle();
    if (2 * halfSpanNs_ <= kSettledSpanNs && settledFrames_ >= kSettleFrames &&
        settleFoundFirst_ < 2) {
        mode_ = Mode::kTracking;
        pollNs_ += halfSpanNs_;  // the end of the span: the frame is there by then
        foundInARow_ = 0;
        retries_.Clear();
        for (size_t i = 0; i < recent_.Size(); ++i) {
            const FrameBracket& b = recent_[i];
            if (b.afterNs != kNoLowerBound && b.byNs - b.afterNs < 2 * kRetryStepNs) {
                retries_.Add(b);
            }
        }
    }
}

// The period and phase the recent brackets agree on; the next poll goes to
// the middle of the phases still possible. Each frame already there at its
// first poll sends the next poll a span further back: a period that is not
// the station's shows only when a frame is found before every phase it
// allows.
void FrameCadence::Settle() {
    const PeriodConsensus best = settledFrames_ % kFullScanEvery == 0
                                     ? ScanPeriods(recent_, periodNs_)
                                     : PeriodConsensus{periodNs_, BestPhase(recent_, periodNs_)};
    periodNs_ = best.periodNs;
    const double high = best.phase.highNs;
    const double low = std::max(best.phase.lowNs, high - periodNs_);
    halfSpanNs_ = std::max((high - low) / 2, kStepNs / 2);
    const double back =
        settleFoundFirst_ == 0 ? 0.0 : 2 * halfSpanNs_ * (std::exp2(settleFoundFirst_ - 1) - 0.5);
    pollNs_ =
        (low + high) / 2 - std::min(back, periodNs_ / 2) + static_cast<double>(frame_) * periodNs_;
}

void FrameCadence::TrackFrame(const FrameBracket& bracket) {
    recent_.Add(bracket);
    const bool onTime = bracket.afterNs < pollNs_ - kTieNs;  // no empty poll since its first
    const bool lateWake = onTime && bracket.byNs > pollNs_ + kLateWakeNs;
    double step = 0.0;
    if (!lateWake) {
        if (!onTime) {
            spreadNs_ = std::max(spreadNs_, bracket.byNs - pollNs_);
            NotePeriodBracket(bracket);
        }
        const bool early = probing_ && bracket.byNs < pollNs_ - kTieNs;
        // Retries go 0.5 ms after the first poll found nothing, however late
        // that poll woke: a retry that finds nothing too is a frame late.
        const bool late = !onTime && bracket.afterNs >= firstMissNs_ + kUnevenLateNs;
        if (early || late) {
            unevenHold_ = kUnevenHoldFrames;  // frames spread over a millisecond or more
        }
        const double doublings =
            onTime
                ? std::min(kMaxBoostDoublings, std::max(0, foundInARow_ - kBoostAfterFound) / 4.0)
                : 0.0;
        const double quantile = uneven_ ? kUnevenQuantile : kEvenQuantile;
        step = kStepNs * std::exp2(doublings) * (quantile - (onTime ? 1.0 : 0.0));
    }
    foundInARow_ = onTime ? foundInARow_ + 1 : 0;
    unevenHold_ = std::max(unevenHold_ - 1, 0);
    uneven_ = unevenHold_ > 0;
    spreadNs_ *= kSpreadDecay;
    ++frame_;
    pollNs_ += step + periodNs_;
    missedWindows_ = 0;
    probing_ = !uneven_ && frame_ % kProbeEvery == 0;
}

void FrameCadence::NotePeriodBracket(const FrameBracket& bracket) {
    if (bracket.afterNs == kNoLowerBound) {
        return;
    }
    retries_.Add(bracket);
    const std::optional<double> fitted = FitPeriod(retries_);
    if (fitted && std::abs(*fitted / periodNs_ - 1.0) < kPeriodTolerance) {
        periodNs_ = *fitted;
    }
}

bool FrameCadence::PollAgainNow(Clock::time_point now) {
    if (mode_ == Mode::kSearching || catchingUp_ || owed_ > 0) {
        return true;
    }
    const double nowNs = Ns(now);
    const double early = mode_ == Mode::kSettling ? halfSpanNs_ : 0.0;
    if (nowNs >= pollNs_ - early - kTieNs) {
        return true;  // the next frame is due already: the wake was late
    }
    if (mode_ == Mode::kTracking && foundInARow_ >= kCheckAfterFound &&
        foundInARow_ % kCheckEvery == 0) {
        checking_ = true;
        return true;
    }
    return false;
}

double FrameCadence::WindowNs() const {
    double window = std::max(kMinWindowNs, spreadNs_ + kWindowMarginNs);
    if (mode_ == Mode::kSettling) {
        window = std::max(window, halfSpanNs_ + kWindowMarginNs);
    }
    return std::min(window, periodNs_ / 2);
}

bool FrameCadence::Silent(double nowNs) const {
    return lastFrameNs_ == kNoLowerBound ||
           nowNs - lastFrameNs_ > kSilentPeriods * periodNs_ + WindowNs();
}

FrameCadence::Clock::time_point FrameCadence::NextPoll(Clock::time_point now, bool capped) {
    const double nowNs = Ns(now);
    double deadline = capped ? nowNs + kPauseNs : NextPollNs(nowNs);
    if (!lastFound_) {
        deadline = std::max(deadline, lastMissNs_ + kFirstRetryNs);
    }
    return At(deadline);
}

// Where to poll next once the cycle ended, on a frame or on an empty poll.
double FrameCadence::NextPollNs(double nowNs) {
    if (mode_ == Mode::kSearching) {
        if (lastFrameNs_ != kNoLowerBound && recent_.Size() > 0 &&
            nowNs - lastFrameNs_ > kSearchSilentPeriods * periodNs_) {
            Search();  // the brackets so far belong to a flow that stopped
        }
        return lastFound_ ? nowNs : nowNs + kPauseNs;
    }
    if (Silent(nowNs)) {
        if (mode_ == Mode::kTracking || nowNs - lastFrameNs_ > kLostPeriods * periodNs_) {
            Search();
        }
        return nowNs + kPauseNs;
    }
    if (lastFound_) {
        const double probe = mode_ == Mode::kTracking && probing_ ? kProbeEarlyNs : 0.0;
        return std::max(nowNs, pollNs_ - probe);
    }
    if (nowNs < pollNs_ - kTieNs) {
        return pollNs_;
    }
    if (nowNs < pollNs_ + WindowNs()) {
        const double gap = nowNs < pollNs_ + kFirstRetryNs ? kFirstRetryNs : kRetryStepNs;
        return std::max(nowNs, lastMissNs_ + gap);
    }
    if (mode_ == Mode::kSettling) {
        return nowNs + kPauseNs;  // not where the fit expects it: look as before
    }
    // Past the window: held back by the station, it comes with the next frame.
    pollNs_ += periodNs_;
    ++frame_;
    ++owed_;
    if (++missedWindows_ >= 2) {
        Search();
        return nowNs + kPauseNs;
    }
    return std::max(nowNs, pollNs_);
}

}  // namespace varnix
