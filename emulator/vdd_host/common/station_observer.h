// vdd-host's view of the station library the plug-in loads: the same file,
// opened by the host first so both share one handle, and its simulation
// exports when it has them (a real station has none, and the host then skips
// the checks that need them).
#pragma once

#include "contract/station_control.h"

#include <cstdint>
#include <string>
#include <vector>

namespace varnix::vddhost {

// [host] Opened and closed on the main thread; the query members may be
// called from any thread (the station's control API is thread-safe). No
// member takes a lock of its own.
class StationObserver {
public:
    StationObserver() = default;
    ~StationObserver();
    StationObserver(const StationObserver&) = delete;
    StationObserver& operator=(const StationObserver&) = delete;

    // dlopen(RTLD_NOW | RTLD_LOCAL) of `path`; false with Error() when it fails.
    bool Open(const std::string& path);
    const std::string& Error() const { return error_; }
    const std::string& Path() const { return path_; }

    // True when the library carries the simulation's control exports.
    bool Simulated() const { return simulated_; }

    // The error of the last profile load ("" when it loaded); "" for a real station.
    std::string ProfileError() const;
    VarnixSimCounters Counters() const;
    // Fills `info` and `values` (resized to the frame) while the station keeps the frame.
    bool DeliveredFrame(uint64_t deliveryIndex, VarnixSimFrameInfo& info,
                        std::vector<float>& values) const;
    size_t SensorCount() const;
    int32_t SamplesPerFrame(size_t sensor) const;
    int32_t StreamCount(size_t sensor) const;
    int32_t FrameMultiple() const;
    void StartPulse() const;
    void StopPulse() const;
    // The station's log of the pulses its inputs received (a simulated
    // station that predates it has none).
    bool HasPulseLog() const { return pulseCount_ != nullptr && getPulse_ != nullptr; }
    uint64_t PulseCount() const;
    bool Pulse(uint64_t sequence, VarnixSimPulse& pulse) const;

private:
    void* handle_ = nullptr;
    std::string path_;
    std::string error_;
    bool simulated_ = false;

    decltype(&VarnixSim_LastProfileError) lastProfileError_ = nullptr;
    decltype(&VarnixSim_GetCounters) getCounters_ = nullptr;
    decltype(&VarnixSim_GetDeliveredFrame) getDeliveredFrame_ = nullptr;
    decltype(&VarnixSim_SensorCount) sensorCount_ = nullptr;
    decltype(&VarnixSim_SamplesPerFrame) samplesPerFrame_ = nullptr;
    decltype(&VarnixSim_StreamCount) streamCount_ = nullptr;
    decltype(&VarnixSim_FrameMultiple) frameMultiple_ = nullptr;
    decltype(&VarnixSim_StartPulse) startPulse_ = nullptr;
    decltype(&VarnixSim_StopPulse) stopPulse_ = nullptr;
    decltype(&VarnixSim_PulseCount) pulseCount_ = nullptr;  // optional
    decltype(&VarnixSim_GetPulse) getPulse_ = nullptr;      // optional
};

}  // namespace varnix::vddhost
