#include "emulator/vdd_host/drift_fit.h"

#include <cmath>
#include <cstdio>

namespace varnix::vddhost {

namespace {

// A line needs frames spread over a while before its slope means anything.
constexpr uint64_t kFewestFrames = 20;
constexpr double kShortestSpanS = 1.0;
constexpr double kNinetyFivePercent = 1.96;  // standard errors

}  // namespace

void DriftFit::BeginSession(int32_t session, double nominalPeriodS) {
    session_ = session;
    nominalS_ = nominalPeriodS;
    device_.reset();
    sums_ = Sums{};
    lastFrame_ = -1;
}

// The frame's number is its first sample index over the samples per frame:
// a frame the device missed leaves a gap, not a shift. An index that goes
// back (the host reset it) begins the line anew.
void DriftFit::Take(size_t device, const CapturedPush& push, const PushNotes& /*notes*/) {
    if (push.sessionId != session_ || push.samplesPerFrame <= 0 || nominalS_ <= 0.0) return;
    if (!device_) device_ = device;
    if (device != *device_) return;
    const int64_t frame = push.firstSampleIndex / push.samplesPerFrame;
    if (frame <= lastFrame_) sums_ = Sums{};
    if (sums_.n == 0) {
        firstFrame_ = frame;
        firstNs_ = push.timeNs;
    }
    lastFrame_ = frame;
    lastNs_ = push.timeNs;
    const double k = static_cast<double>(frame - firstFrame_);
    const double t = static_cast<double>(push.timeNs - firstNs_) * 1e-9;
    ++sums_.n;
    sums_.k += k;
    sums_.t += t;
    sums_.kk += k * k;
    sums_.kt += k * t;
    sums_.tt += t * t;
}

std::optional<DriftResult> DriftFit::EndSession() {
    const double n = static_cast<double>(sums_.n);
    const double sxx = sums_.kk - sums_.k * sums_.k / n;
    const double sxy = sums_.kt - sums_.k * sums_.t / n;
    const double syy = sums_.tt - sums_.t * sums_.t / n;
    const double spanS = static_cast<double>(lastNs_ - firstNs_) * 1e-9;
    if (sums_.n < kFewestFrames || spanS < kShortestSpanS || !(sxx > 0.0)) return std::nullopt;
    DriftResult result;
    result.session = session_;
    result.frames = sums_.n;
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
        if (std::fabs(result.driftPpm) > kDriftWarningPpm) {
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
