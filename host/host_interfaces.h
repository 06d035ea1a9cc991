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
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

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
    virtual IHostResult DefineDevice(const char* manufacturer, const char* deviceName,
                                     const char* version, const char* deviceNameAgain,
                                     const char* deviceType, const char* addCommandCaption,
                                     const char* description) = 0;                          // 0
    virtual IHostResult AddBoolParameter(const char* key, const char* displayName,
                                         const char* help, const char* group, bool flag,
                                         const IParameterValueBool& defaultValue,
                                         void* reserved) = 0;                               // 1
    virtual IHostResult AddSignal(const char* name) = 0;                                    // 2
    virtual IHostResult AddOutput(const char* name, int32_t unitCode) = 0;                  // 3
    virtual IHostResult AddComponent(const char* name) = 0;                                 // 4
    virtual void        Unused5() = 0;                                                      // 5
    virtual IHostResult Commit() = 0;                                                       // 6
protected:
    ~IDeviceDefinitionBuilder() = default;
};

// Kept from BeginDeviceInstantiation on. [host]
class IDeviceRegistrar {
public:
    // The device is lent to the host for as long as the plug-in keeps it.
    virtual IHostResult RegisterDevice(void* hostArg1, const char* deviceName, void* hostArg3,
                                       const char* deviceNameAgain, IDevice* device) = 0;   // 0
protected:
    ~IDeviceRegistrar() = default;
};

// Given to a device by AttachContext and kept by it.
class IDeviceContext {
public:
    // [host][acquisition] The host writes the parameter's value into `value`.
    virtual IHostResult GetParameterValue(IParameterValue& value, const char* key,
                                          const char* qualifier) = 0;                       // 0
    virtual void        Unused1() = 0;                                                      // 1
    virtual uint32_t    GetEntryCount() = 0;                                                // 2 [host]
    virtual IHostResult FillEntries(int32_t* token, void** entries, int32_t* flag) = 0;     // 3 [host]
    // [handoff] Never called twice at once for one device. Pointers lent for the call.
    virtual IHostResult PushSamples(int32_t sessionId, int64_t firstSampleIndex,
                                    int32_t samplesPerFrame, const int32_t* channelIndices,
                                    int32_t channelCount, const float* values,
                                    int32_t valueCount) = 0;                                // 4
    virtual bool        RequestUpdate() = 0;                                                // 5 [host][acquisition]
protected:
    ~IDeviceContext() = default;
};

// Lent for one DeclareSession call. [host]
class ISessionDeclaration {
public:
    virtual IHostResult SetPeriod(int64_t period) = 0;                                      // 0
    virtual IHostResult DeclareSignal(const char* name, int32_t value1, int32_t value2,
                                      int32_t value3, int32_t value4, bool flag) = 0;       // 1
    virtual void        SetOption(int32_t option) = 0;                                      // 2
    virtual IHostResult SetValueCount(int32_t count) = 0;                                   // 3
protected:
    ~ISessionDeclaration() = default;
};

// Implemented by the plug-in; the host drives it from its own threads.
// Itanium ABI: the virtual destructor fills two vtable entries (complete and
// deleting), so operation slot k >= 1 sits at vtable index k + 1.
class IDevice {
public:
    virtual ~IDevice() = default;                                                           // 0
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
    virtual ~IParameterValue() = default;                                                   // 0
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
