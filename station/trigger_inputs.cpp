#include "trigger_inputs.h"

#include "station_clock.h"

#include <algorithm>

namespace varnix::station {

void TriggerInputs::Clear() {
    startInput_ = false;
    stopInput_ = false;
    Cancel();
}

void TriggerInputs::Arm(bool startInput, bool stopInput) {
    startInput_ = startInput;
    stopInput_ = stopInput;
}

void TriggerInputs::ScheduleProfile(int64_t nowNs, std::optional<int64_t> startAfterMs,
                                    std::optional<int64_t> stopAfterMs) {
    startAtNs_ = startAfterMs ? nowNs + *startAfterMs * kNsPerMs : kNever;
    stopAtNs_ = stopAfterMs ? nowNs + *stopAfterMs * kNsPerMs : kNever;
    stopAfterFlowNs_.reset();
}

void TriggerInputs::ScheduleRecording(int64_t nowNs, const ReplayPulses& pulses) {
    startAtNs_ = pulses.startNs ? nowNs + *pulses.startNs : kNever;
    stopAtNs_ = kNever;
    stopAfterFlowNs_ = pulses.stopNs;
}

void TriggerInputs::FlowBegins(int64_t atNs) {
    if (!stopAfterFlowNs_) return;
    stopAtNs_ = atNs + *stopAfterFlowNs_;
    stopAfterFlowNs_.reset();
}

void TriggerInputs::Cancel() {
    startAtNs_ = kNever;
    stopAtNs_ = kNever;
    stopAfterFlowNs_.reset();
}

int64_t TriggerInputs::NextNs() const {
    return std::min(startAtNs_, stopAtNs_);
}

int32_t TriggerInputs::TakeScheduled(int64_t atNs) {
    if (atNs == startAtNs_) {
        startAtNs_ = kNever;
        return VARNIX_SIM_START_INPUT;
    }
    stopAtNs_ = kNever;
    return VARNIX_SIM_STOP_INPUT;
}

}  // namespace varnix::station
