// Drives the station through its C ABI exactly as the plug-in's bridge does:
// a fresh object per call, the getter, the call, then the object deleted.
#pragma once

#include "contract/station_abi.h"
#include "contract/station_call.h"
#include "contract/station_control.h"
#include "contract/station_records.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

namespace station_test {

using varnix::CallStation;

inline const char* Initialize(VarnixMetadataBuf& pb) {
    pb = VarnixMetadataBuf{};
    return CallStation<VarnixInitializeFn>(VarnixNative_GetInitializeDelegate, &pb, 2, 1);
}
inline const char* Info(const std::string& id, int32_t code) {
    return CallStation<VarnixInformationRequestFn>(VarnixNative_GetInformationRequestDelegate,
                                                   id.c_str(), code);
}
inline void Start() {
    CallStation<VarnixVoidFn>(VarnixNative_GetStartDelegate);
}
inline void Stop() {
    CallStation<VarnixVoidFn>(VarnixNative_GetStopDelegate);
}
inline void Close() {
    CallStation<VarnixVoidFn>(VarnixNative_GetCloseDelegate);
}
inline bool Configure(bool start, bool stop) {
    return CallStation<VarnixConfigureFn>(VarnixNative_GetConfigureDelegate, true, start, stop,
                                          false);
}
inline bool Poll(VarnixFrameBuf& frame) {
    return CallStation<VarnixPollDataFn>(VarnixNative_GetPollDataDelegate, &frame);
}

// Polls every 5 ms until `frames` frames arrived or `limit` passed; returns
// how many arrived.
inline size_t PollFor(size_t frames, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    size_t got = 0;
    VarnixFrameBuf frame{};
    while (got < frames && std::chrono::steady_clock::now() < end) {
        if (Poll(frame)) {
            ++got;
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    return got;
}

inline VarnixSimCounters Counters() {
    VarnixSimCounters counters{};
    VarnixSim_GetCounters(&counters);
    return counters;
}

inline std::string LastError() {
    char text[512];
    VarnixSim_LastProfileError(text, sizeof text);
    return text;
}

// Item ids of an item list, in order.
inline std::vector<std::string> Items(const char* list) {
    std::vector<std::string> items;
    std::string current;
    for (const char* c = list; c != nullptr && *c != '\0'; ++c) {
        if (*c == '|') {
            items.push_back(current);
            current.clear();
        } else {
            current += *c;
        }
    }
    return items;
}

}  // namespace station_test

namespace station_test {

inline int64_t NowNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

constexpr int64_t kMs = 1000000;

struct Collected {
    VarnixSimFrameInfo info{};
    std::vector<float> values;  // copied from the poll's array right away
};

// Polls every 2 ms, copying each delivered frame, until `frames` arrived or
// `limit` passed.
inline std::vector<Collected> CollectFrames(size_t frames, std::chrono::milliseconds limit) {
    std::vector<Collected> got;
    const auto end = std::chrono::steady_clock::now() + limit;
    VarnixFrameBuf frame{};
    while (got.size() < frames && std::chrono::steady_clock::now() < end) {
        if (!Poll(frame)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            continue;
        }
        Collected c;
        const uint64_t index = Counters().framesDelivered - 1;
        VarnixSim_GetDeliveredFrame(index, &c.info, nullptr, 0);
        c.values.assign(frame.samples, frame.samples + c.info.valueCount);
        got.push_back(std::move(c));
    }
    return got;
}

inline bool LoadShipped(const char* name) {
    const char* dir = std::getenv("VARNIX_SOURCE_DIR");
    const std::string path = std::string(dir != nullptr ? dir : ".") + "/profiles/" + name;
    char error[512] = "";
    const bool good = VarnixSim_LoadProfileFile(path.c_str(), error, sizeof error) == 0;
    if (!good) {
        ADD_FAILURE() << error;
    }
    return good;
}

// Initialize, configure with the given trigger inputs, start.
inline void BeginSession(bool startInput = false, bool stopInput = false) {
    VarnixMetadataBuf pb{};
    Initialize(pb);
    Configure(startInput, stopInput);
    Start();
}

}  // namespace station_test
