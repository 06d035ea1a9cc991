// How the station's clock runs against the host's: per session, a straight
// line through the frames as they reached the host (frame number against
// the host's monotonic clock at the push) gives the station's effective
// frame period, and against the period its frame multiple announces, the
// drift in parts per million. A station 100 ppm fast gains a sample every
// 5 s at 2000 Hz.
//
// A frame reaches the host late, never early: the plug-in's wake-up, its
// pass over the devices and the host's own scheduling only add, and on a
// busy machine by milliseconds at a time. So the line goes through the
// least delayed frame of every 32 (each block's lower edge), not through
// them all: a stall bends a least-squares line through every frame, not one
// through the lower edge. Its margin comes from how far those edges scatter
// about it.
#pragma once

#include "emulator/vdd_host/common/push_sink.h"

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace varnix::vddhost {

// A drift beyond this is worth a warning: the station's clock or its
// announced frame multiple is off by more than a crystal's tolerance.
constexpr double kDriftWarningPpm = 500.0;

struct DriftResult {
    int32_t session = 0;
    uint64_t frames = 0;
    double spanS = 0.0;      // from the first fitted frame to the last
    double periodS = 0.0;    // the station's effective frame period
    double nominalS = 0.0;   // the one announced
    double driftPpm = 0.0;   // > 0: the station's clock runs fast
    double marginPpm = 0.0;  // 95 % of such fits lie within this of the truth
    int64_t lastPushNs = 0;  // the host's clock at the last frame taken in
};

// [host] Takes the pushes of the first device that pushes in each session,
// from PushChecker::Drain. Keeps running sums and one block's best frame:
// memory stays flat.
class DriftFit final : public PushSink {
public:
    // Before the session's first push; `nominalPeriodS` 0: unknown (no fit).
    void BeginSession(int32_t session, double nominalPeriodS);
    void Take(size_t device, const CapturedPush& push, const PushNotes& notes) override;
    // The session's fit, kept in Results(); none with too few frames.
    std::optional<DriftResult> EndSession();
    const std::vector<DriftResult>& Results() const { return results_; }

private:
    struct Sums {
        uint64_t n = 0;
        double k = 0, t = 0, kk = 0, kt = 0, tt = 0;
    };
    struct Edge {
        int64_t block = -1;
        uint64_t frames = 0;
        double k = 0, t = 0;  // its least delayed frame
    };

    void Restart(int64_t frame, int64_t timeNs);
    void CloseBlock();

    int32_t session_ = 0;
    double nominalS_ = 0.0;
    std::optional<size_t> device_;
    int64_t firstFrame_ = 0;
    int64_t lastFrame_ = -1;
    int64_t firstNs_ = 0;
    int64_t lastNs_ = 0;
    uint64_t frames_ = 0;
    Edge edge_;
    Sums sums_;
    std::vector<DriftResult> results_;
};

// "station clock: frame period 13.49595 ms (announced 13.5 ms), drift
// +300.1 +- 0.8 ppm (95 %) over 4440 frames in 59.9 s, session 1"
std::string DriftLine(const DriftResult& result);

// The same for a BDF+/EDF+ file, as annotations short enough to be kept
// whole (40 characters): "clock drift +300.1 +- 0.8 ppm", "frame
// period 13.49596 ms".
std::vector<std::string> DriftAnnotations(const DriftResult& result);

// [host] One line per session (unless `quiet`), and a warning line on
// `warnings` for each drift beyond kDriftWarningPpm by more than its margin.
void SummariseDrift(const std::vector<DriftResult>& results, bool quiet, std::ostream& out,
                    std::ostream& warnings);

}  // namespace varnix::vddhost
