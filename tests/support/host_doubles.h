// Bases for test doubles of the host's interfaces, so that a double reads the
// same in both binary forms of the SDK (host/host_interfaces.h): it derives
// from the base and overrides the operations in their natural form,
// `IHostResult PushSamples(...) override`.
//
// In the Itanium form a base is the interface itself. In the Microsoft form
// (the Windows build) it implements each slot, which takes the caller's
// result by pointer, by calling a natural-form virtual of the same name that
// the double overrides; so a double passes the plug-in's calls through the
// very slots a Microsoft-built host implements.
#pragma once

#include "host/host_interfaces.h"

#if VARNIX_HOST_SDK_MICROSOFT_FORM
#define VARNIX_NATURAL_HOST_RESULT(name, parameters, arguments)                       \
    ViconDigitalDevice::IHostResult* name(ViconDigitalDevice::IHostResult* result,    \
                                          VARNIX_HOST_SDK_UNPAREN parameters) final { \
        *result = name arguments;                                                     \
        return result;                                                                \
    }                                                                                 \
    virtual ViconDigitalDevice::IHostResult name parameters = 0;
#define VARNIX_NATURAL_HOST_RESULT_NO_PARAMETERS(name)                                     \
    ViconDigitalDevice::IHostResult* name(ViconDigitalDevice::IHostResult* result) final { \
        *result = name();                                                                  \
        return result;                                                                     \
    }                                                                                      \
    virtual ViconDigitalDevice::IHostResult name() = 0;
#else
#define VARNIX_NATURAL_HOST_RESULT(name, parameters, arguments)
#define VARNIX_NATURAL_HOST_RESULT_NO_PARAMETERS(name)
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
};

class DeclarationBase : public ViconDigitalDevice::ISessionDeclaration {
public:
    VARNIX_NATURAL_HOST_RESULT(SetPeriod, (int64_t period), (period))
    VARNIX_NATURAL_HOST_RESULT(DeclareSignal,
                               (const char* name, int32_t value1, int32_t value2, int32_t value3,
                                int32_t value4, bool flag),
                               (name, value1, value2, value3, value4, flag))
    VARNIX_NATURAL_HOST_RESULT(SetValueCount, (int32_t count), (count))
};

}  // namespace host_doubles
