#include "emulator/vdd_host/common/station_observer.h"

#include <dlfcn.h>

namespace varnix::vddhost {

namespace {

template <typename Fn>
bool Bind(void* handle, const char* name, Fn& out) {
    out = reinterpret_cast<Fn>(dlsym(handle, name));
    return out != nullptr;
}

}  // namespace

StationObserver::~StationObserver() {
    if (handle_ != nullptr) dlclose(handle_);
}

bool StationObserver::Open(const std::string& path) {
    path_ = path;
    dlerror();
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        const char* why = dlerror();
        error_ = why != nullptr ? why : "unknown reason";
        return false;
    }
    bool all = true;
    all &= Bind(handle_, "VarnixSim_LastProfileError", lastProfileError_);
    all &= Bind(handle_, "VarnixSim_GetCounters", getCounters_);
    all &= Bind(handle_, "VarnixSim_GetDeliveredFrame", getDeliveredFrame_);
    all &= Bind(handle_, "VarnixSim_SensorCount", sensorCount_);
    all &= Bind(handle_, "VarnixSim_SamplesPerFrame", samplesPerFrame_);
    all &= Bind(handle_, "VarnixSim_StreamCount", streamCount_);
    all &= Bind(handle_, "VarnixSim_FrameMultiple", frameMultiple_);
    all &= Bind(handle_, "VarnixSim_StartPulse", startPulse_);
    all &= Bind(handle_, "VarnixSim_StopPulse", stopPulse_);
    simulated_ = all;
    if (simulated_) {
        Bind(handle_, "VarnixSim_PulseCount", pulseCount_);
        Bind(handle_, "VarnixSim_GetPulse", getPulse_);
    }
    return true;
}

std::string StationObserver::ProfileError() const {
    if (!simulated_) return "";
    char buffer[1024] = {};
    lastProfileError_(buffer, sizeof buffer);
    return buffer;
}

VarnixSimCounters StationObserver::Counters() const {
    VarnixSimCounters counters{};
    if (simulated_) getCounters_(&counters);
    return counters;
}

bool StationObserver::DeliveredFrame(uint64_t deliveryIndex, VarnixSimFrameInfo& info,
                                     std::vector<float>& values) const {
    if (!simulated_) return false;
    if (getDeliveredFrame_(deliveryIndex, &info, nullptr, 0) == 0) return false;
    values.resize(info.valueCount);
    return getDeliveredFrame_(deliveryIndex, &info, values.data(), values.size()) != 0 &&
           values.size() == info.valueCount;
}

size_t StationObserver::SensorCount() const {
    return simulated_ ? sensorCount_() : 0;
}
int32_t StationObserver::SamplesPerFrame(size_t sensor) const {
    return simulated_ ? samplesPerFrame_(sensor) : 0;
}
int32_t StationObserver::StreamCount(size_t sensor) const {
    return simulated_ ? streamCount_(sensor) : 0;
}
int32_t StationObserver::FrameMultiple() const {
    return simulated_ ? frameMultiple_() : 0;
}
void StationObserver::StartPulse() const {
    if (simulated_) startPulse_();
}
void StationObserver::StopPulse() const {
    if (simulated_) stopPulse_();
}
uint64_t StationObserver::PulseCount() const {
    return HasPulseLog() ? pulseCount_() : 0;
}
bool StationObserver::Pulse(uint64_t sequence, VarnixSimPulse& pulse) const {
    return HasPulseLog() && getPulse_(sequence, &pulse) != 0;
}

}  // namespace varnix::vddhost
