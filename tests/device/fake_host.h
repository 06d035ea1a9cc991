// Stand-ins for the host's objects, recording what the plug-in does to
// them, on the do-nothing bases of tests/support/host_doubles.h. Shared by the device and acquisition tests.
#pragma once

#include "device/parameter_value_bool.h"
#include "host/host_interfaces.h"
#include "tests/support/host_doubles.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace fake {

// A host error that counts its releases.
using Error = host_doubles::CountingError;

inline ViconDigitalDevice::IHostResult Ok() {
    return {nullptr};
}
inline ViconDigitalDevice::IHostResult Fail(Error& error) {
    return {&error};
}

// Host services that keep every line (timebase 1000, start code 0).
using Services = host_doubles::RecordingServices;

// One recorded push, with a copy of the values the host was lent.
struct Push {
    int32_t sessionId;
    int64_t firstSampleIndex;
    int32_t samplesPerFrame;
    std::vector<int32_t> channels;
    std::vector<float> values;
    int32_t valueCount;
};

class Context final : public host_doubles::ContextBase {
public:
    ViconDigitalDevice::IHostResult GetParameterValue(ViconDigitalDevice::IParameterValue& value,
                                                      const char* key,
                                                      const char* qualifier) override {
        if (onParameterRead) onParameterRead(key);
        std::lock_guard<std::mutex> lock(mutex_);
        parameterReads.push_back(std::string(key) + "|" + qualifier);
        auto answer = parameters.find(key);
        if (answer != parameters.end()) {
            ViconDigitalDevice::IParameterValueBool filled;
            filled.SetValue(answer->second);
            filled.CopyTo(value);
        }
        return failParameters ? Fail(error) : Ok();
    }
    uint32_t GetEntryCount() override { return entryCount; }
    ViconDigitalDevice::IHostResult FillEntries(int32_t*, void** entries, int32_t* flag) override {
        fillCalls++;
        fillSawNullArray = entries == nullptr;
        if (entries != nullptr && fillFirstEntry) entries[0] = this;
        *flag = fillFlag;
        return Ok();
    }
    ViconDigitalDevice::IHostResult PushSamples(int32_t sessionId, int64_t first, int32_t samples,
                                                const int32_t* channels, int32_t channelCount,
                                                const float* values, int32_t valueCount) override {
        Push push{sessionId,
                  first,
                  samples,
                  std::vector<int32_t>(channels, channels + channelCount),
                  std::vector<float>(values, values + valueCount),
                  valueCount};
        if (onPush) onPush(push);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            pushes.push_back(push);
        }
        pushCond_.notify_all();
        return failPushes ? Fail(error) : Ok();
    }
    bool RequestUpdate() override {
        ++requestUpdates;
        return requestUpdateAnswer;
    }

    std::vector<Push> Pushes() {
        std::lock_guard<std::mutex> lock(mutex_);
        return pushes;
    }
    std::vector<std::string> ParameterReads() {
        std::lock_guard<std::mutex> lock(mutex_);
        return parameterReads;
    }
    // Waits up to `limit` for at least `count` pushes.
    bool WaitForPushes(size_t count, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
        std::unique_lock<std::mutex> lock(mutex_);
        return pushCond_.wait_for(lock, limit, [&] { return pushes.size() >= count; });
    }

    std::function<void(const char*)> onParameterRead;  // runs before the answer
    std::map<std::string, bool> parameters;            // unanswered keys leave the value alone
    bool failParameters = false;
    uint32_t entryCount = 1;
    int32_t fillFlag = 0;
    bool fillFirstEntry = false;
    std::atomic<int> fillCalls{0};
    bool fillSawNullArray = false;
    bool failPushes = false;
    std::function<void(const Push&)> onPush;  // runs on the hand-off thread, before recording
    std::atomic<int> requestUpdates{0};
    bool requestUpdateAnswer = true;
    Error error{"refused by the fake host"};

private:
    std::mutex mutex_;
    std::condition_variable pushCond_;
    std::vector<Push> pushes;
    std::vector<std::string> parameterReads;
};

// Records the declaration calls in order, as text.
class Declaration final : public host_doubles::DeclarationBase {
public:
    ViconDigitalDevice::IHostResult SetPeriod(int64_t period) override {
        calls.push_back("SetPeriod " + std::to_string(period));
        return Answer();
    }
    ViconDigitalDevice::IHostResult DeclareSignal(const char* name, int32_t v1, int32_t v2,
                                                  int32_t v3, int32_t v4, bool flag) override {
        calls.push_back("DeclareSignal " + std::string(name) + " " + std::to_string(v1) + " " +
                        std::to_string(v2) + " " + std::to_string(v3) + " " + std::to_string(v4) +
                        " " + (flag ? "true" : "false"));
        return Answer();
    }
    void SetOption(int32_t option) override {
        calls.push_back("SetOption " + std::to_string(option));
    }
    ViconDigitalDevice::IHostResult SetValueCount(int32_t count) override {
        calls.push_back("SetValueCount " + std::to_string(count));
        return Answer();
    }

    std::vector<std::string> calls;
    bool failAll = false;
    Error error{"declaration refused"};

private:
    ViconDigitalDevice::IHostResult Answer() { return failAll ? Fail(error) : Ok(); }
};

}  // namespace fake
