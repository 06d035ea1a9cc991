#include "acquisition/station_silence.h"

#include "host/host_log.h"

#include <cstdio>

namespace varnix {

namespace {

double Seconds(StationSilenceWatch::Clock::duration duration) {
    return std::chrono::duration<double>(duration).count();
}

}  // namespace

void StationSilenceWatch::SessionStarted(bool stopInputEnabled) {
    flowing_ = false;
    told_ = false;
    stopInputEnabled_ = stopInputEnabled;
}

void StationSilenceWatch::Frame(Clock::time_point now) {
    if (told_) {
        char line[160];
        std::snprintf(line, sizeof line,
                      "The station delivers frames again after %.1f s without any.",
                      Seconds(now - lastFrame_));
        LogTo(context_.Services(), line, kLogInfo);
    }
    lastFrame_ = now;
    flowing_ = true;
    told_ = false;
}

void StationSilenceWatch::NoFrame(Clock::time_point now) {
    if (!flowing_ || told_ || now - lastFrame_ < kStationSilence) {
        return;
    }
    told_ = true;
    char line[256];
    if (stopInputEnabled_) {
        std::snprintf(line, sizeof line,
                      "The station has delivered no frame for %.1f s; a pulse on its stop input "
                      "may have ended the capture.",
                      Seconds(now - lastFrame_));
        LogTo(context_.Services(), line, kLogInfo);
    } else {
        std::snprintf(line, sizeof line,
                      "The station has delivered no frame for %.1f s in the middle of a capture: "
                      "check that the base station is switched on and connected. Samples go on "
                      "when frames come again.",
                      Seconds(now - lastFrame_));
        LogTo(context_.Services(), line, kLogError);
    }
}

}  // namespace varnix
