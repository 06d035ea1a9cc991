#include "emulator/vdd_host/capture/drift_fit.h"

#include <cmath>
#include <cstdio>

namespace varnix::vddhost {

namespace {

// The frames of one block: the least delayed of them is its lower edge.
constexpr int64_t kBlockFrames = 32;
// A line needs edges spread over a while before its slope means anything.
constexpr uint64_t kFewestEdges = 4;
constexpr double kShortestSpanS = 1.0;
constexpr double kNinetyFivePercent = 1.96;  // standard errors

}  // namespace

void DriftFit::BeginSession(int32_t session, double nominalPeriodS) {
    session_ = session;
    nominalS_ = nominalPeriodS;
    device_.reset();
    lastFrame_ = -1;
    frames_ = 0;
    edge_ = Edge{};
    sums_ = Sums{};
}

void DriftFit::Restart(int64_t frame, int64_t timeNs) {
    firstFrame_ = frame;
    firstNs_ = timeNs;
    frames_ = 0;
    edge_ = Edge{};
    sums_ = Sums{};
}

// The frame's number is its first sample index over the samples per frame:
// a frame the device missed leaves a gap, not a shift. An index that goes
// back (the host reset it) begins the line anew.
void DriftFit::Take(size_t device, const CapturedPush& push, const PushNotes& /*notes*/) {
    if (push.sessionId != session_ || push.samplesPerFrame <= 0 || nominalS_ <= 0.0) return;
    if (!device_) device_ = device;
    if (device != *device_) return;
    const int64_t frame = push.firstSampleIndex / push.samplesPerFrame;
    if (frame <= lastFrame_ || frames_ == 0) Restart(frame, push.timeNs);
    lastFrame_ = frame;
    lastNs_ = push.timeNs;
    ++frames_;
    const double k = static_cast<double>(frame - firstFrame_);
    const double t = static_cast<double>(push.timeNs - firstNs_) * 1e-9;
    const int64_t block = (frame - firstFrame_) / kBlockFrames;
    if (block != edge_.block) {
        CloseBlock();
        edge_ = Edge{block, 0, k, t};
    }
    ++edge_.frames;
    if (t - k * nominalS_ < edge_.t - edge_.k * nominalS_) {
        edge_.k = k;
        edge_.t = t;
    }
}

// A block's edge joins the line once the block is whole (or, at the end,
// at least half full).
void DriftFit::CloseBlock() {
    if (edge_.block < 0 || edge_.frames * 2 < static_cast<uint64_t>(kBlockFrames)) return;
    ++sums_.n;
    sums_.k += edge_.k;
    sums_.t += edge_.t;
    sums_.kk += edge_.k * edge_.k;
    sums_.kt += edge_.k * edge_.t;
    sums_.tt += edge_.t * edge_.t;
}

std::optional<DriftResult> DriftFit::EndSession() {
    CloseBlock();
    edge_ = Edge{};
    const double n = static_cast<double>(sums_.n);
    const double sxx = sums_.kk - sums_.k * sums_.k / n;
    const double sxy = sums_.kt - sums_.k * sums_.t / n;
    const double syy = sums_.tt - sums_.t * sums_.t / n;
    const double spanS = static_cast<double>(lastNs_ - firstNs_) * 1e-9;
    if (sums_.n < kFewestEdges || spanS < kShortestSpanS || !(sxx > 0.0)) return std::nullopt;
    DriftResult result;
    result.session = session_;
    result.frames = frames_;
    result.spanS = spanS;
    result.periodS = sxy / sxx;
    result.nominalS = nominalS_;
    result.driftPpm = (nominalS_ / result.periodS - 1.0) * 1e6;
    const double residual = std::max(0.0, syy - result.periodS * sxy) / (n - 2.0);
    const double slopeError = std::sqrt(residual / sxx);
    result.marginPpm = kNinetyFivePercent * slopeError / result.periodS * 1e6;
    result.lastPushNs = lastNs_;
    results_.push_back(result);
    return result;
}

std::string DriftLine(const DriftResult& result) {
    char line[256];
    std::snprintf(line, sizeof line,
                  "station clock: frame period %.5f ms (announced %g ms), drift %+.1f +- %.1f ppm "
                  "(95 %%) over %llu frames in %.1f s, session %d",
                  result.periodS * 1e3, result.nominalS * 1e3, result.driftPpm, result.marginPpm,
                  static_cast<unsigned long long>(result.frames), result.spanS, result.session);
    return line;
}

std::vector<std::string> DriftAnnotations(const DriftResult& result) {
    char drift[64], period[64];
    std::snprintf(drift, sizeof drift, "clock drift %+.1f +- %.1f ppm", result.driftPpm,
                  result.marginPpm);
    std::snprintf(period, sizeof period, "frame period %.5f ms", result.periodS * 1e3);
    return {drift, period};
}

void SummariseDrift(const std::vector<DriftResult>& results, bool quiet, std::ostream& out,
                    std::ostream& warnings) {
    for (const DriftResult& result : results) {
        if (!quiet) out << DriftLine(result) << "\n";
        if (std::fabs(result.driftPpm) - result.marginPpm > kDriftWarningPpm) {
            char line[320];
            std::snprintf(line, sizeof line,
                          "vdd-host: warning: session %d: the station's clock runs %+.0f ppm "
                          "against the host's (more than %.0f ppm): check the station's frame "
                          "multiple and its clock; timestamps of long recordings drift apart",
                          result.session, result.driftPpm, kDriftWarningPpm);
            warnings << line << "\n";
        }
    }
}

}  // namespace varnix::vddhost
