// Do-nothing bases for test doubles of the host's interfaces and of a
// device: every operation answers success and does nothing, so a double
// overrides only what its test looks at, in the operations' natural form
// (`IHostResult PushSamples(...) override`), and reads the same in both
// binary forms of the SDK (host/host_interfaces.h). Tests, benchmarks and
// fuzzers derive their doubles from these.
//
// In the Itanium form a base implements the interface's operations itself.
// In the Microsoft form (the Windows build) it implements each slot, which
// takes the caller's result by pointer, by calling a natural-form virtual of
// the same name that the double may override; so a double passes the
// plug-in's calls through the very slots a Microsoft-built host implements.
#pragma once

#include "host/host_interfaces.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace host_doubles {
// Lets a do-nothing operation name its parameters without a warning.
template <typename... Unused>
inline void Ignore(const Unused&...) {}
}  // namespace host_doubles

#if VARNIX_HOST_SDK_MICROSOFT_FORM
#define VARNIX_NATURAL_HOST_RESULT(name, parameters, arguments)                       \
    ViconDigitalDevice::IHostResult* name(ViconDigitalDevice::IHostResult* result,    \
                                          VARNIX_HOST_SDK_UNPAREN parameters) final { \
        *result = name arguments;                                                     \
        return result;                                                                \
    }                                                                                 \
    virtual ViconDigitalDevice::IHostResult name parameters {                         \
        host_doubles::Ignore arguments;                                               \
        return ViconDigitalDevice::IHostResult{nullptr};                              \
    }
#define VARNIX_NATURAL_HOST_RESULT_NO_PARAMETERS(name)                                     \
    ViconDigitalDevice::IHostResult* name(ViconDigitalDevice::IHostResult* result) final { \
        *result = name();                                                                  \
        return result;                                                                     \
    }                                                                                      \
    virtual ViconDigitalDevice::IHostResult name() {                                       \
        return ViconDigitalDevice::IHostResult{nullptr};                                   \
    }
#else
#define VARNIX_NATURAL_HOST_RESULT(name, parameters, arguments) \
    ViconDigitalDevice::IHostResult name parameters override {  \
        host_doubles::Ignore arguments;                         \
        return ViconDigitalDevice::IHostResult{nullptr};        \
    }
#define VARNIX_NATURAL_HOST_RESULT_NO_PARAMETERS(name)   \
    ViconDigitalDevice::IHostResult name() override {    \
        return ViconDigitalDevice::IHostResult{nullptr}; \
    }
#endif

namespace host_doubles {

using ViconDigitalDevice::IDevice;
using ViconDigitalDevice::IParameterValue;
using ViconDigitalDevice::IParameterValueBool;

class BuilderBase : public ViconDigitalDevice::IDeviceDefinitionBuilder {
public:
    VARNIX_NATURAL_HOST_RESULT(DefineDevice,
                               (const char* manufacturer, const char* deviceName,
                                const char* version, const char* deviceNameAgain,
                                const char* deviceType, const char* addCommandCaption,
                                const char* description),
                               (manufacturer, deviceName, version, deviceNameAgain, deviceType,
                                addCommandCaption, description))
    VARNIX_NATURAL_HOST_RESULT(AddBoolParameter,
                               (const char* key, const char* displayName, const char* help,
                                const char* group, bool flag,
                                const IParameterValueBool& defaultValue, void* reserved),
                               (key, displayName, help, group, flag, defaultValue, reserved))
    VARNIX_NATURAL_HOST_RESULT(AddSignal, (const char* name), (name))
    VARNIX_NATURAL_HOST_RESULT(AddOutput, (const char* name, int32_t unitCode), (name, unitCode))
    VARNIX_NATURAL_HOST_RESULT(AddComponent, (const char* name), (name))
    void Unused5() override {}
    VARNIX_NATURAL_HOST_RESULT_NO_PARAMETERS(Commit)
};

class RegistrarBase : public ViconDigitalDevice::IDeviceRegistrar {
public:
    VARNIX_NATURAL_HOST_RESULT(RegisterDevice,
                               (void* hostArg1, const char* deviceName, void* hostArg3,
                                const char* deviceNameAgain, IDevice* device),
                               (hostArg1, deviceName, hostArg3, deviceNameAgain, device))
};

class ContextBase : public ViconDigitalDevice::IDeviceContext {
public:
    VARNIX_NATURAL_HOST_RESULT(GetParameterValue,
                               (IParameterValue & value, const char* key, const char* qualifier),
                               (value, key, qualifier))
    VARNIX_NATURAL_HOST_RESULT(FillEntries, (int32_t * token, void** entries, int32_t* flag),
                               (token, entries, flag))
    VARNIX_NATURAL_HOST_RESULT(PushSamples,
                               (int32_t sessionId, int64_t firstSampleIndex,
                                int32_t samplesPerFrame, const int32_t* channelIndices,
                                int32_t channelCount, const float* values, int32_t valueCount),
                               (sessionId, firstSampleIndex, samplesPerFrame, channelIndices,
                                channelCount, values, valueCount))
    void Unused1() override {}
    uint32_t GetEntryCount() override { return 0; }
    bool RequestUpdate() override { return true; }
};

class DeclarationBase : public ViconDigitalDevice::ISessionDeclaration {
public:
    VARNIX_NATURAL_HOST_RESULT(SetPeriod, (int64_t period), (period))
    VARNIX_NATURAL_HOST_RESULT(DeclareSignal,
                               (const char* name, int32_t value1, int32_t value2, int32_t value3,
                                int32_t value4, bool flag),
                               (name, value1, value2, value3, value4, flag))
    void SetOption(int32_t /*option*/) override {}
    VARNIX_NATURAL_HOST_RESULT(SetValueCount, (int32_t count), (count))
};

class ErrorBase : public ViconDigitalDevice::IHostError {
public:
    const char* Text() override { return ""; }
    void Unused1() override {}
    void Release() override {}
};

// A host error that counts its releases (and the calls of its unused slot).
class CountingError : public ErrorBase {
public:
    explicit CountingError(std::string text = "refused") : text_(std::move(text)) {}
    const char* Text() override { return text_.c_str(); }
    void Unused1() override { ++unusedCalls; }
    void Release() override { ++releases; }
    std::atomic<int> releases{0};
    std::atomic<int> unusedCalls{0};

private:
    std::string text_;
};

class ServicesBase : public ViconDigitalDevice::IHostServices {
public:
    void Log(const char* /*text*/, int32_t /*level*/) override {}
    uint32_t GetTimebase() override { return 1000000000u; }
    int32_t GetStartCode() override { return 0; }
};

// Host services that keep every line the plug-in logs. [any] Log locks the
// double's own mutex briefly.
class RecordingServices : public ServicesBase {
public:
    struct Line {
        int32_t level;
        std::string text;
    };

    explicit RecordingServices(uint32_t timebase = 1000, int32_t startCode = 0)
        : timebase(timebase), startCode(startCode) {}
    void Log(const char* text, int32_t level) override {
        std::lock_guard<std::mutex> lock(mutex_);
        lines_.push_back({level, text != nullptr ? text : "(null)"});
    }
    uint32_t GetTimebase() override { return timebase; }
    int32_t GetStartCode() override { return startCode; }

    std::vector<Line> Lines() {
        std::lock_guard<std::mutex> lock(mutex_);
        return lines_;
    }
    size_t CountAtLevel(int32_t level) {
        size_t n = 0;
        for (const Line& line : Lines()) n += line.level == level ? 1 : 0;
        return n;
    }

    uint32_t timebase;
    int32_t startCode;

private:
    std::mutex mutex_;
    std::vector<Line> lines_;
};

// A device that accepts every call and says it is ready.
class DeviceBase : public ViconDigitalDevice::IDevice {
public:
    bool AttachContext(ViconDigitalDevice::IDeviceContext* /*context*/) override { return true; }
    void RefreshEntries() override {}
    bool DeclareSession(int32_t /*sessionId*/,
                        ViconDigitalDevice::ISessionDeclaration* /*declaration*/) override {
        return true;
    }
    void SessionOpened() override {}
    void SoftwareStartTrigger() override {}
    void SessionClosed() override {}
    void GetStatus(int32_t* readyState, bool* redeclareRequested) override {
        if (readyState != nullptr) *readyState = 1;
        if (redeclareRequested != nullptr) *redeclareRequested = false;
    }
};

}  // namespace host_doubles
