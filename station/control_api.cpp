// The VarnixSim_* exports: thin C wrappers over the station that copy texts
// in and out and let no exception escape.
#pragma GCC visibility push(default)
#include "contract/station_control.h"
#pragma GCC visibility pop

#include "default_profile.h"
#include "profile_loading.h"
#include "station.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>

using varnix::station::kNsPerMs;
using varnix::station::MonotonicNowNs;
using varnix::station::Profile;
using varnix::station::Station;
using varnix::station::StationParts;
using varnix::station::StationTables;

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

// A test writes the tables: the station is in script mode from then on.
template <typename Edit>
void Script(Edit&& edit) {
    Station::Get().Control([&](StationParts& parts, int64_t) {
        parts.EnterScriptMode();
        parts.answers.Edit(edit);
    });
}

void Pulse(int32_t input) {
    Station::Get().Control([&](StationParts& parts, int64_t now) {
        parts.clock.Pulse(input, now, VARNIX_SIM_PULSE_FROM_CONTROL);
    });
}

void Reconnect() {
    Station::Get().Control([](StationParts& parts, int64_t now) { parts.clock.Reconnect(now); });
}

}  // namespace

extern "C" {

void VarnixSim_Reset(void) {
    Guarded([] { Station::Get().Reset(); });
}

int VarnixSim_LoadProfileFile(const char* path, char* error, size_t errorSize) {
    try {
        std::string message;
        const bool good = Station::Get().Load(
            [&](Profile& profile, std::string& why) {
                return ReadProfileFile(path ? path : "", profile, why);
            },
            message);
        CopyOut(message, error, errorSize);
        return good ? 0 : -1;
    } catch (...) {
        return -1;
    }
}

int VarnixSim_LoadProfileText(const char* json, char* error, size_t errorSize) {
    try {
        std::string message;
        const bool good = Station::Get().Load(
            [&](Profile& profile, std::string& why) {
                return ParseProfile(json ? json : "", "(text)", profile, why);
            },
            message);
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
    Guarded([&] {
        Script([&](StationTables& tables) {
            tables.itemList = itemList ? std::optional<std::string>(itemList) : std::nullopt;
        });
    });
}
void VarnixSim_ScriptFrameMultiple(int32_t frameMultiple) {
    Guarded([&] { Script([&](StationTables& tables) { tables.frameMultiple = frameMultiple; }); });
}
void VarnixSim_ScriptRates(const double* rates, size_t count) {
    Guarded([&] {
        Script([&](StationTables& tables) {
            tables.rates.assign(rates, rates == nullptr ? rates : rates + count);
        });
    });
}
void VarnixSim_ScriptAnswer(const char* id, int32_t code, const char* answer) {
    if (id == nullptr) return;
    Guarded([&] {
        Script([&](StationTables& tables) {
            tables.answers[{id, code}] = answer ? std::optional<std::string>(answer) : std::nullopt;
        });
    });
}
void VarnixSim_ScriptFrame(const float* values, size_t count) {
    Guarded([&] {
        Station::Get().Control([&](StationParts& parts, int64_t) {
            parts.EnterScriptMode();
            parts.script.AddFrame(values, count);
        });
    });
}
void VarnixSim_ScriptPollFalse(size_t count) {
    Guarded([&] {
        Station::Get().Control([&](StationParts& parts, int64_t) {
            parts.EnterScriptMode();
            parts.script.AddFalse(count);
        });
    });
}
void VarnixSim_ScriptConfigureResult(int result) {
    Guarded([&] {
        Station::Get().Control([&](StationParts& parts, int64_t) {
            parts.EnterScriptMode();
            parts.script.SetConfigureResult(result);
        });
    });
}

void VarnixSim_LogPolls(int on) {
    Station::Get().Calls().LogPolls(on != 0);
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
    if (out == nullptr) return;
    Guarded([&] {
        Station& station = Station::Get();
        *out = station.Control([](StationParts& parts, int64_t now) {
            parts.clock.Advance(now);
            return parts.counters;
        });
        out->objectsCreated = station.Objects().created.load();
        out->objectsDeleted = station.Objects().deleted.load();
    });
}

int VarnixSim_GetDeliveredFrame(uint64_t deliveryIndex, VarnixSimFrameInfo* info, float* values,
                                size_t capacity) {
    try {
        return Station::Get().Control([&](StationParts& parts, int64_t) {
            return parts.delivered.Get(deliveryIndex, info, values, capacity);
        })
                   ? 1
                   : 0;
    } catch (...) {
        return 0;
    }
}

int VarnixSim_GetFrameTiming(uint64_t deliveryIndex, VarnixSimFrameTiming* timing) {
    try {
        if (timing == nullptr) return 0;
        return Station::Get().Control([&](StationParts& parts, int64_t) {
            VarnixSimFrameInfo info{};
            int64_t dueNs = 0;
            if (!parts.delivered.Get(deliveryIndex, &info, nullptr, 0) ||
                !parts.delivered.GetDue(deliveryIndex, dueNs)) {
                return 0;
            }
            timing->dueTimeNs = dueNs;
            timing->pollableTimeNs = info.readyTimeNs;
            timing->deliveredTimeNs = info.deliveredTimeNs;
            return 1;
        });
    } catch (...) {
        return 0;
    }
}

size_t VarnixSim_SensorCount(void) {
    try {
        return Station::Get().Control(
            [](StationParts& parts, int64_t) { return parts.answers.Geometry().size(); });
    } catch (...) {
        return 0;
    }
}
int32_t VarnixSim_SamplesPerFrame(size_t sensor) {
    try {
        return Station::Get().Control([&](StationParts& parts, int64_t) {
            const auto& geometry = parts.answers.Geometry();
            return sensor < geometry.size() ? geometry[sensor].samplesPerStream : 0;
        });
    } catch (...) {
        return 0;
    }
}
int32_t VarnixSim_StreamCount(size_t sensor) {
    try {
        return Station::Get().Control([&](StationParts& parts, int64_t) {
            const auto& geometry = parts.answers.Geometry();
            return sensor < geometry.size() ? geometry[sensor].streams : 0;
        });
    } catch (...) {
        return 0;
    }
}
int32_t VarnixSim_FrameMultiple(void) {
    try {
        return Station::Get().Control(
            [](StationParts& parts, int64_t) { return parts.answers.FrameMultiple(); });
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
    Guarded([] { Pulse(VARNIX_SIM_START_INPUT); });
}
void VarnixSim_StopPulse(void) {
    Guarded([] { Pulse(VARNIX_SIM_STOP_INPUT); });
}

void VarnixSim_FailPollsFor(int64_t milliseconds) {
    Guarded([&] {
        Station::Get().Faults().FailPollsUntil(MonotonicNowNs() + milliseconds * kNsPerMs);
    });
}
void VarnixSim_FaultAnswer(const char* id, int32_t code, int empty) {
    Guarded([&] { Station::Get().Faults().FaultAnswer(id, code, empty != 0); });
}
void VarnixSim_FaultItemList(int empty) {
    Guarded([&] { Station::Get().Faults().FaultItemList(empty != 0); });
}
void VarnixSim_SlowAnswers(int64_t milliseconds) {
    Station::Get().Faults().SlowAnswers(milliseconds);
}
void VarnixSim_DisconnectAfter(int64_t milliseconds) {
    Guarded([&] {
        Station::Get().Control([&](StationParts& parts, int64_t now) {
            parts.clock.DisconnectAfter(now, milliseconds);
        });
    });
}
void VarnixSim_Reconnect(void) {
    Guarded([] { Reconnect(); });
}
void VarnixSim_ClearFaults(void) {
    Guarded([] {
        Reconnect();
        Station::Get().Faults().Clear();
    });
}

const char* VarnixSim_DefaultProfileText(void) {
    return varnix::station::DefaultProfileText();
}

}  // extern "C"
