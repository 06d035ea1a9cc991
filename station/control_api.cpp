// The VarnixSim_* exports: thin C wrappers over the station that copy texts
// in and out and let no exception escape.
#pragma GCC visibility push(default)
#include "contract/station_control.h"
#pragma GCC visibility pop

#include "default_profile.h"
#include "station.h"

#include <algorithm>
#include <cstring>
#include <string>

using varnix::station::Station;

namespace {

size_t CopyOut(const std::string& text, char* buf, size_t bufSize) {
    if (buf != nullptr && bufSize > 0) {
        const size_t n = std::min(text.size(), bufSize - 1);
        std::memcpy(buf, text.data(), n);
        buf[n] = '\0';
    }
    return text.size();
}

template <typename Action>
void Guarded(Action action) {
    try {
        action();
    } catch (...) {
        // Out of memory: the control call has no effect.
    }
}

}  // namespace

extern "C" {

void VarnixSim_Reset(void) {
    Guarded([] { Station::Get().Reset(); });
}

int VarnixSim_LoadProfileFile(const char* path, char* error, size_t errorSize) {
    try {
        std::string message;
        const bool good = Station::Get().LoadProfileFile(path ? path : "", message);
        CopyOut(message, error, errorSize);
        return good ? 0 : -1;
    } catch (...) {
        return -1;
    }
}

int VarnixSim_LoadProfileText(const char* json, char* error, size_t errorSize) {
    try {
        std::string message;
        const bool good = Station::Get().LoadProfile(json ? json : "", "(text)", message);
        CopyOut(message, error, errorSize);
        return good ? 0 : -1;
    } catch (...) {
        return -1;
    }
}

size_t VarnixSim_LastProfileError(char* buf, size_t bufSize) {
    try {
        return CopyOut(Station::Get().LastProfileError(), buf, bufSize);
    } catch (...) {
        return CopyOut("", buf, bufSize);
    }
}

void VarnixSim_ScriptItemList(const char* itemList) {
    Guarded([&] { Station::Get().ScriptItemList(itemList); });
}
void VarnixSim_ScriptFrameMultiple(int32_t frameMultiple) {
    Guarded([&] { Station::Get().ScriptFrameMultiple(frameMultiple); });
}
void VarnixSim_ScriptRates(const double* rates, size_t count) {
    Guarded([&] { Station::Get().ScriptRates(rates, count); });
}
void VarnixSim_ScriptAnswer(const char* id, int32_t code, const char* answer) {
    Guarded([&] { Station::Get().ScriptAnswer(id, code, answer); });
}
void VarnixSim_ScriptFrame(const float* values, size_t count) {
    Guarded([&] { Station::Get().ScriptFrame(values, count); });
}
void VarnixSim_ScriptPollFalse(size_t count) {
    Guarded([&] { Station::Get().ScriptPollFalse(count); });
}
void VarnixSim_ScriptConfigureResult(int result) {
    Guarded([&] { Station::Get().ScriptConfigureResult(result); });
}

void VarnixSim_LogPolls(int on) {
    Station::Get().LogPolls(on != 0);
}
size_t VarnixSim_CallCount(void) {
    return Station::Get().Calls().Count();
}
int VarnixSim_GetCall(size_t index, VarnixSimCall* out) {
    return Station::Get().Calls().Get(index, out) ? 1 : 0;
}
void VarnixSim_ClearCalls(void) {
    Station::Get().Calls().Clear();
}

void VarnixSim_GetCounters(VarnixSimCounters* out) {
    Guarded([&] { Station::Get().GetCounters(out); });
}

int VarnixSim_GetDeliveredFrame(uint64_t deliveryIndex, VarnixSimFrameInfo* info, float* values,
                                size_t capacity) {
    try {
        return Station::Get().GetDeliveredFrame(deliveryIndex, info, values, capacity) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

int VarnixSim_GetFrameTiming(uint64_t deliveryIndex, VarnixSimFrameTiming* timing) {
    try {
        return Station::Get().GetFrameTiming(deliveryIndex, timing) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

size_t VarnixSim_SensorCount(void) {
    try {
        return Station::Get().SensorCount();
    } catch (...) {
        return 0;
    }
}
int32_t VarnixSim_SamplesPerFrame(size_t sensor) {
    try {
        return Station::Get().SamplesPerFrame(sensor);
    } catch (...) {
        return 0;
    }
}
int32_t VarnixSim_StreamCount(size_t sensor) {
    try {
        return Station::Get().StreamCount(sensor);
    } catch (...) {
        return 0;
    }
}
int32_t VarnixSim_FrameMultiple(void) {
    try {
        return Station::Get().FrameMultiple();
    } catch (...) {
        return 0;
    }
}

uint64_t VarnixSim_PulseCount(void) {
    return Station::Get().Pulses().Count();
}
int VarnixSim_GetPulse(uint64_t sequence, VarnixSimPulse* out) {
    return Station::Get().Pulses().Get(sequence, out) ? 1 : 0;
}

void VarnixSim_StartPulse(void) {
    Guarded([] { Station::Get().StartPulse(); });
}
void VarnixSim_StopPulse(void) {
    Guarded([] { Station::Get().StopPulse(); });
}

void VarnixSim_FailPollsFor(int64_t milliseconds) {
    Guarded([&] { Station::Get().FailPollsFor(milliseconds); });
}
void VarnixSim_FaultAnswer(const char* id, int32_t code, int empty) {
    Guarded([&] { Station::Get().FaultAnswer(id, code, empty != 0); });
}
void VarnixSim_FaultItemList(int empty) {
    Guarded([&] { Station::Get().FaultItemList(empty != 0); });
}
void VarnixSim_SlowAnswers(int64_t milliseconds) {
    Station::Get().SlowAnswers(milliseconds);
}
void VarnixSim_DisconnectAfter(int64_t milliseconds) {
    Guarded([&] { Station::Get().DisconnectAfter(milliseconds); });
}
void VarnixSim_Reconnect(void) {
    Guarded([] { Station::Get().Reconnect(); });
}
void VarnixSim_ClearFaults(void) {
    Guarded([] { Station::Get().ClearFaults(); });
}

const char* VarnixSim_DefaultProfileText(void) {
    return varnix::station::DefaultProfileText();
}

}  // extern "C"
