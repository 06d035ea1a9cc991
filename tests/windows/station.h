// The simulated station as the host observes it: the VarnixSim_* control API
// and the station's own entry points, reached with GetProcAddress in the
// VarnixAPI2.dll the module loaded (the same instance, so the host sees the
// frames the module polled). Never linked statically: a station loaded by
// the host at start-up would be found by a module that has none beside it.
#pragma once

#include "contract/station_abi.h"
#include "contract/station_control.h"
#include "tests/windows/text.h"
#include "tests/windows/win32.h"

constexpr const char kStationDll[] = "VarnixAPI2.dll";

class Station {
public:
    // [host] Finds the station the module loaded and resolves the functions
    // the host uses. False, with the reason in `problem`, when it is not
    // loaded or is not the simulated station.
    bool Attach(Text& problem);
    bool Attached() const { return counters_ != nullptr; }
    // Where the loaded station file lies (Windows path).
    Text Path() const;

    // Any thread; each is one short call into the station (it locks inside).
    VarnixSimCounters Counters() const;
    size_t CallCount() const { return callCount_(); }
    bool Call(size_t index, VarnixSimCall& call) const { return getCall_(index, &call) != 0; }
    bool DeliveredFrame(uint64_t delivery, VarnixSimFrameInfo& info, float* values,
                        size_t capacity) const {
        return deliveredFrame_(delivery, &info, values, capacity) != 0;
    }
    size_t SensorCount() const { return sensorCount_(); }
    int32_t SamplesPerFrame(size_t sensor) const { return samplesPerFrame_(sensor); }
    int32_t StreamCount(size_t sensor) const { return streamCount_(sensor); }
    int32_t FrameMultiple() const { return frameMultiple_(); }

    // The station's own answer to an information request, through its
    // native object as the module's bridge asks it, copied into `answer`.
    // False when the station answers null.
    bool InfoRequest(const char* id, int32_t code, Text& answer) const;

private:
    win::HMODULE module_ = nullptr;
    decltype(&VarnixSim_GetCounters) counters_ = nullptr;
    decltype(&VarnixSim_CallCount) callCount_ = nullptr;
    decltype(&VarnixSim_GetCall) getCall_ = nullptr;
    decltype(&VarnixSim_GetDeliveredFrame) deliveredFrame_ = nullptr;
    decltype(&VarnixSim_SensorCount) sensorCount_ = nullptr;
    decltype(&VarnixSim_SamplesPerFrame) samplesPerFrame_ = nullptr;
    decltype(&VarnixSim_StreamCount) streamCount_ = nullptr;
    decltype(&VarnixSim_FrameMultiple) frameMultiple_ = nullptr;
    decltype(&VarnixNative_New) nativeNew_ = nullptr;
    decltype(&VarnixNative_Delete) nativeDelete_ = nullptr;
    decltype(&VarnixNative_GetInformationRequestDelegate) infoDelegate_ = nullptr;
};
