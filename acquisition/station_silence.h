// Tells a person when the station stops delivering frames in the middle of a
// capture (a cable pulled, the base station switched off): a poll answering
// false is the station's ordinary "no frame yet", so only a silence much
// longer than a frame period is worth a line in the host's log.
#pragma once

#include "acquisition/acquisition_context.h"
#include "platform/platform.h"

#include <chrono>

namespace varnix {

// How long the station may deliver nothing, once frames flowed, before the
// host's log is told.
constexpr std::chrono::milliseconds kStationSilence{2000};

// [acquisition] Owned by the acquisition loop; not shared with any thread.
// Logs through the host's Log; never throws; allocates only for a line.
class StationSilenceWatch {
public:
    using Clock = platform::MonotonicClock;

    // Lines go to `context`'s services; `context` outlives the watch.
    explicit StationSilenceWatch(const AcquisitionContext& context) : context_(context) {}

    // A session start: the flow begins anew (with a start trigger it may wait
    // for a pulse for as long as the lab likes), so silence counts only once
    // frames flow again. With the stop input enabled a stop pulse may end the
    // flow on purpose, so a silence is then told as information, not error.
    void SessionStarted(bool stopInputEnabled);

    // The outcome of one poll at `now`.
    void Frame(Clock::time_point now);
    void NoFrame(Clock::time_point now);

private:
    const AcquisitionContext& context_;
    Clock::time_point lastFrame_{};
    bool flowing_ = false;  // a frame came since the last session start
    bool told_ = false;     // the current silence has been logged
    bool stopInputEnabled_ = false;
};

}  // namespace varnix
