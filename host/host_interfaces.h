// The capture host's device-plug-in SDK as the plug-in and every host see it.
//
// Slot order, argument types and record layout bind both sides: a host built
// against these declarations calls the plug-in's objects by vtable slot, and
// the plug-in calls the host's the same way. tests/contract/ pins the slots.
//
// Three kinds of thread meet in the plug-in; every operation and shared field
// is tagged with the ones that touch it:
//   [host]         a thread of the capture host: the exports and IDevice calls
//   [acquisition]  the one acquisition thread: polling, session start, pass
//   [handoff]      a device's own long-lived delivery thread: one push per frame
//
// Pointers the host passes are lent for the call unless an operation says it
// keeps them. Texts are NUL-terminated 8-bit strings.
//
// Two binary forms, one set of declarations. On Linux hosts and plug-ins
// follow the Itanium C++ ABI. On Windows the capture host is built with
// Microsoft's compiler, so the SDK follows the Microsoft x64 C++ ABI; g++
// for Windows (MinGW-w64) lays classes out by the Itanium rules, and there
// the declarations take the Microsoft form by hand in the two places the
// ABIs differ:
//  - an operation that returns IHostResult returns it through a hidden
//    pointer to the caller's result (after `this`, before the arguments),
//    so it is declared with that pointer made explicit; an inline helper of
//    the natural form beside it fills a local result and returns it, so
//    every call site reads the same in both builds;
//  - a virtual destructor takes one slot (the scalar deleting destructor)
//    instead of two, so IDevice and IParameterValue start with that one
//    function and a protected, non-virtual destructor.
// VARNIX_HOST_SDK_ITANIUM_SHAPED forces the natural g++ form on Windows too:
// it builds the module a host with Microsoft's ABI must refuse (the test
// double that proves the reference host tells the two apart).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#if defined(__MINGW32__) && !defined(VARNIX_HOST_SDK_ITANIUM_SHAPED)
#define VARNIX_HOST_SDK_MICROSOFT_FORM 1
#else
#define VARNIX_HOST_SDK_MICROSOFT_FORM 0
#endif

#define VARNIX_HOST_SDK_UNPAREN(...) __VA_ARGS__

#if VARNIX_HOST_SDK_MICROSOFT_FORM
// A host operation `name` with `parameters`, returning IHostResult; `arguments`
// names the parameters in order. The virtual is the slot; the inline helper
// is what the plug-in calls.
#define VARNIX_HOST_RESULT_OPERATION(name, parameters, arguments)                                  \
    virtual IHostResult* name(IHostResult* result, VARNIX_HOST_SDK_UNPAREN parameters) = 0;       \
    IHostResult name parameters {                                                                \
        IHostResult result{nullptr};                                                             \
        name(&result, VARNIX_HOST_SDK_UNPAREN arguments);                                        \
        return result;                                                                           \
    }
// The same for an operation without parameters.
#define VARNIX_HOST_RESULT_OPERATION_NO_PARAMETERS(name)                                           \
    virtual IHostResult* name(IHostResult* result) = 0;                                          \
    IHostResult name() {                                                                         \
        IHostResult result{nullptr};                                                             \
        name(&result);                                                                           \
        return result;                                                                           \
    }
// Slot 0 of a class with a virtual destructor: the scalar deleting
// destructor, `flags` bit 0 meaning "destroy and free". The host never calls
// it on an object the plug-in made (devices are the plug-in's own, value
// objects live on its stack), and nothing the plug-in lends may be freed by
// the host: it destroys nothing and returns the object, as the ABI's
// destructor does. The real destructor is protected: nobody deletes through
// the interface.
#define VARNIX_HOST_SDK_DESTRUCTOR_SLOT(Interface)                                                 \
    virtual void* ScalarDeletingDestructor(unsigned int /*flags*/) { return this; }              \
                                                                                                 \
protected:                                                                                       \
    ~Interface() = default;                                                                      \
                                                                                                 \
public:
#else
#define VARNIX_HOST_RESULT_OPERATION(name, parameters, arguments)                                  \
    virtual IHostResult name parameters = 0;
#define VARNIX_HOST_RESULT_OPERATION_NO_PARAMETERS(name) virtual IHostResult name() = 0;
// Itanium: the virtual destructor fills two vtable entries (complete and
// deleting), so operation slot k >= 1 sits at vtable index k + 1.
#define VARNIX_HOST_SDK_DESTRUCTOR_SLOT(Interface) virtual ~Interface() = default;
#endif

namespace ViconDigitalDevice {

class IDevice;
class IParameterValue;
class IParameterValueBool;

// The object a failed host operation hands back. The caller releases it once.
class IHostError {
public:
    virtual const char* Text() = 0;     // 0: error text, owned by the error
    virtual void        Unused1() = 0;  // 1: never called
    virtual void        Release() = 0;  // 2: the caller releases a non-null result once
protected:
    ~IHostError() = default;
};

// Result of a host operation: one pointer, returned by value. Null is success.
struct IHostResult {
    IHostError* error;
};
static_assert(sizeof(IHostResult) == sizeof(void*), "IHostResult is one pointer");
static_assert(alignof(IHostResult) == alignof(void*), "IHostResult is one pointer");

// Kept by the plug-in from Initialise on; every device holds it too.
class IHostServices {
public:
    // [host][acquisition][handoff] May be called from any plug-in thread.
    virtual void     Log(const char* text, int32_t level) = 0;   // 0: 1 info, 3 error
    virtual uint32_t GetTimebase() = 0;                          // 1
    virtual int32_t  GetStartCode() = 0;                         // 2
protected:
    ~IHostServices() = default;
};

// Lent for one ProvideDeviceDefinitions call. [host]
class IDeviceDefinitionBuilder {
public:
    VARNIX_HOST_RESULT_OPERATION(DefineDevice,                                              // 0
        (const char* manufacturer, const char* deviceName, const char* version,
         const char* deviceNameAgain, const char* deviceType, const char* addCommandCaption,
         const char* description),
        (manufacturer, deviceName, version, deviceNameAgain, deviceType, addCommandCaption,
         description))
    VARNIX_HOST_RESULT_OPERATION(AddBoolParameter,                                          // 1
        (const char* key, const char* displayName, const char* help, const char* group,
         bool flag, const IParameterValueBool& defaultValue, void* reserved),
        (key, displayName, help, group, flag, defaultValue, reserved))
    VARNIX_HOST_RESULT_OPERATION(AddSignal, (const char* name), (name))                     // 2
    VARNIX_HOST_RESULT_OPERATION(AddOutput, (const char* name, int32_t unitCode),           // 3
                                 (name, unitCode))
    VARNIX_HOST_RESULT_OPERATION(AddComponent, (const char* name), (name))                  // 4
    virtual void        Unused5() = 0;                                                      // 5
    VARNIX_HOST_RESULT_OPERATION_NO_PARAMETERS(Commit)                                      // 6
protected:
    ~IDeviceDefinitionBuilder() = default;
};

// Kept from BeginDeviceInstantiation on. [host]
class IDeviceRegistrar {
public:
    // The device is lent to the host for as long as the plug-in keeps it.
    VARNIX_HOST_RESULT_OPERATION(RegisterDevice,                                            // 0
        (void* hostArg1, const char* deviceName, void* hostArg3, const char* deviceNameAgain,
         IDevice* device),
        (hostArg1, deviceName, hostArg3, deviceNameAgain, device))
protected:
    ~IDeviceRegistrar() = default;
};

// Given to a device by AttachContext and kept by it.
class IDeviceContext {
public:
    // [host][acquisition] The host writes the parameter's value into `value`.
    VARNIX_HOST_RESULT_OPERATION(GetParameterValue,                                         // 0
        (IParameterValue& value, const char* key, const char* qualifier),
        (value, key, qualifier))
    virtual void        Unused1() = 0;                                                      // 1
    virtual uint32_t    GetEntryCount() = 0;                                                // 2 [host]
    VARNIX_HOST_RESULT_OPERATION(FillEntries,                                               // 3 [host]
        (int32_t* token, void** entries, int32_t* flag), (token, entries, flag))
    // [handoff] Never called twice at once for one device. Pointers lent for the call.
    VARNIX_HOST_RESULT_OPERATION(PushSamples,                                               // 4
        (int32_t sessionId, int64_t firstSampleIndex, int32_t samplesPerFrame,
         const int32_t* channelIndices, int32_t channelCount, const float* values,
         int32_t valueCount),
        (sessionId, firstSampleIndex, samplesPerFrame, channelIndices, channelCount, values,
         valueCount))
    virtual bool        RequestUpdate() = 0;                                                // 5 [host][acquisition]
protected:
    ~IDeviceContext() = default;
};

// Lent for one DeclareSession call. [host]
class ISessionDeclaration {
public:
    VARNIX_HOST_RESULT_OPERATION(SetPeriod, (int64_t period), (period))                     // 0
    VARNIX_HOST_RESULT_OPERATION(DeclareSignal,                                             // 1
        (const char* name, int32_t value1, int32_t value2, int32_t value3, int32_t value4,
         bool flag),
        (name, value1, value2, value3, value4, flag))
    virtual void        SetOption(int32_t option) = 0;                                      // 2
    VARNIX_HOST_RESULT_OPERATION(SetValueCount, (int32_t count), (count))                   // 3
protected:
    ~ISessionDeclaration() = default;
};

// Implemented by the plug-in; the host drives it from its own threads.
class IDevice {
public:
    VARNIX_HOST_SDK_DESTRUCTOR_SLOT(IDevice)                                                // 0
    virtual bool AttachContext(IDeviceContext* context) = 0;                                // 1 [host]
    virtual void RefreshEntries() = 0;                                                      // 2 [host]
    virtual bool DeclareSession(int32_t sessionId, ISessionDeclaration* declaration) = 0;   // 3 [host]
    virtual void SessionOpened() = 0;                                                       // 4 [host]
    virtual void SoftwareStartTrigger() = 0;                                                // 5 [host]
    virtual void SessionClosed() = 0;                                                       // 6 [host]
    virtual void GetStatus(int32_t* readyState, bool* redeclareRequested) = 0;              // 7 [host]
};

// The copied input of AssignBytes and the read position. Plain data so that
// every compiler lays it out alike.
struct ParameterValueReader {
    const uint8_t* bytes;     // the copy made by AssignBytes, lent for the call
    uint32_t       length;
    uint32_t       position;  // advanced by whoever reads
};

// A parameter value; built by the plug-in on its own stack and lent to the
// host for one call. [host][acquisition]
class IParameterValue {
public:
    VARNIX_HOST_SDK_DESTRUCTOR_SLOT(IParameterValue)                                        // 0
    virtual int32_t TypeCode() = 0;                                                         // 1
    virtual bool    CopyTo(IParameterValue& target) = 0;                                    // 2
    virtual bool    AssignBytes(const uint8_t* bytes, uint32_t length) = 0;                 // 3
    virtual void    SetFlag1(bool flag) = 0;                                                // 4
    virtual bool    Flag1() = 0;                                                            // 5
    virtual void    SetFlag2(bool flag) = 0;                                                // 6
    virtual bool    Flag2() = 0;                                                            // 7
    virtual void    SetFlag3(bool flag) = 0;                                                // 8
    virtual bool    Flag3() = 0;                                                            // 9
    virtual bool    Equals(IParameterValue& other) = 0;                                     // 10
};

template <typename T>
class IParameterValueTemplate : public IParameterValue {
public:
    virtual void SetValue(const T& value) = 0;                                              // 11
    virtual T    Value() = 0;                                                               // 12
    virtual void WriteExtra(std::vector<uint8_t>& bytes) = 0;                               // 13
    virtual bool ReadExtra(ParameterValueReader& reader) = 0;                               // 14
};

}  // namespace ViconDigitalDevice
