#include "emulator/vdd_host/capture/live_status.h"

#include <unistd.h>
#include <algorithm>

namespace varnix::vddhost {

LiveStatus::LiveStatus(FILE* out, bool quiet)
    : out_(out), quiet_(quiet), terminal_(isatty(fileno(out)) != 0) {}

void LiveStatus::Update(double elapsedS, int session, const PushChecker& checker,
                        const VarnixSimCounters& counters, bool simulated) {
    if (quiet_) return;
    const double interval = terminal_ ? 0.2 : 1.0;
    if (lastPrintS_ >= 0 && elapsedS - lastPrintS_ < interval) return;
    const double since = lastPrintS_ < 0 ? elapsedS : elapsedS - lastPrintS_;
    lastSamples_.resize(checker.DeviceCount(), 0);
    double lowRate = 0, highRate = 0;
    uint64_t pushes = 0, gaps = 0;
    int64_t latest = 0;
    for (size_t d = 0; d < checker.DeviceCount(); ++d) {
        const DeviceTally& tally = checker.Tally(d);
        const double rate =
            since > 0 ? static_cast<double>(tally.samples - lastSamples_[d]) / since : 0.0;
        lowRate = d == 0 ? rate : std::min(lowRate, rate);
        highRate = d == 0 ? rate : std::max(highRate, rate);
        lastSamples_[d] = tally.samples;
        pushes += tally.pushes;
        gaps += tally.indexBreaks + tally.skippedFrames;
        if (tally.latency.Count() > 0) latest = std::max(latest, tally.latency.Last());
    }
    lastPrintS_ = elapsedS;
    char latency[32] = "-";
    if (simulated)
        std::snprintf(latency, sizeof latency, "%.1f ms", static_cast<double>(latest) * 1e-6);
    char line[256];
    std::snprintf(line, sizeof line,
                  "session %d  %6.1f s  frames %llu  pushes %llu  %.0f-%.0f samples/s per device  "
                  "drops %llu  gaps %llu  latency %s",
                  session, elapsedS, static_cast<unsigned long long>(counters.framesDelivered),
                  static_cast<unsigned long long>(pushes), lowRate, highRate,
                  static_cast<unsigned long long>(counters.framesDropped),
                  static_cast<unsigned long long>(gaps), latency);
    if (terminal_) {
        std::fprintf(out_, "\r%-150s", line);
        open_ = true;
    } else {
        std::fprintf(out_, "%s\n", line);
    }
    std::fflush(out_);
}

void LiveStatus::Finish() {
    if (open_) std::fputc('\n', out_);
    open_ = false;
    std::fflush(out_);
}

}  // namespace varnix::vddhost
