// The capture host's device-plug-in SDK as a host built with Microsoft's C++
// compiler declares it: plain abstract classes, results returned by value,
// virtual destructors where the SDK has them. Compiled by clang-cl for the
// MSVC target, so every slot, every hidden result pointer and every
// destructor slot is what Microsoft's ABI makes of these declarations; a
// module that assumes another shape meets these and fails.
//
// Slot numbers are in the comments; the order of declaration fixes them.
#pragma once

#include <stdint.h>

namespace ViconDigitalDevice {

class IDevice;
class IParameterValue;
class IParameterValueBool;

// The object a non-null result points at; the caller releases it once.
class IHostError {
public:
    virtual const char* Text() = 0;  // 0
    virtual void Unused1() = 0;      // 1: never called
    virtual void Release() = 0;      // 2
};

// One pointer, returned by value; null is success. As the result of a member
// function it travels through a hidden pointer under Microsoft's ABI.
struct IHostResult {
    IHostError* error;
};

class IHostServices {
public:
    virtual void Log(const char* text, int32_t level) = 0;  // 0: 1 info, 3 error
    virtual uint32_t GetTimebase() = 0;                     // 1
    virtual int32_t GetStartCode() = 0;                     // 2
};

class IDeviceDefinitionBuilder {
public:
    virtual IHostResult DefineDevice(const char* manufacturer, const char* deviceName,
                                     const char* version, const char* deviceNameAgain,
                                     const char* deviceType, const char* addCommandCaption,
                                     const char* description) = 0;  // 0
    virtual IHostResult AddBoolParameter(const char* key, const char* displayName, const char* help,
                                         const char* group, bool flag,
                                         const IParameterValueBool& defaultValue,
                                         void* reserved) = 0;               // 1
    virtual IHostResult AddSignal(const char* name) = 0;                    // 2
    virtual IHostResult AddOutput(const char* name, int32_t unitCode) = 0;  // 3
    virtual IHostResult AddComponent(const char* name) = 0;                 // 4
    virtual void Unused5() = 0;                                             // 5: never called
    virtual IHostResult Commit() = 0;                                       // 6
};

class IDeviceRegistrar {
public:
    virtual IHostResult RegisterDevice(void* hostArg1, const char* deviceName, void* hostArg3,
                                       const char* deviceNameAgain, IDevice* device) = 0;  // 0
};

class IDeviceContext {
public:
    virtual IHostResult GetParameterValue(IParameterValue& value, const char* key,
                                          const char* qualifier) = 0;  // 0
    virtual void Unused1() = 0;                                        // 1: never called
    virtual uint32_t GetEntryCount() = 0;                              // 2
    virtual IHostResult FillEntries(int32_t* token, void** entries, int32_t* flag) = 0;  // 3
    virtual IHostResult PushSamples(int32_t sessionId, int64_t firstSampleIndex,
                                    int32_t samplesPerFrame, const int32_t* channelIndices,
                                    int32_t channelCount, const float* values,
                                    int32_t valueCount) = 0;  // 4
    virtual bool RequestUpdate() = 0;                         // 5
};

class ISessionDeclaration {
public:
    virtual IHostResult SetPeriod(int64_t period) = 0;  // 0
    virtual IHostResult DeclareSignal(const char* name, int32_t value1, int32_t value2,
                                      int32_t value3, int32_t value4, bool flag) = 0;  // 1
    virtual void SetOption(int32_t option) = 0;                                        // 2
    virtual IHostResult SetValueCount(int32_t count) = 0;                              // 3
};

// Implemented by the plug-in. Microsoft's ABI gives the destructor one slot
// (the scalar deleting destructor), so AttachContext is slot 1.
class IDevice {
public:
    virtual ~IDevice() {}                                                                  // 0
    virtual bool AttachContext(IDeviceContext* context) = 0;                               // 1
    virtual void RefreshEntries() = 0;                                                     // 2
    virtual bool DeclareSession(int32_t sessionId, ISessionDeclaration* declaration) = 0;  // 3
    virtual void SessionOpened() = 0;                                                      // 4
    virtual void SoftwareStartTrigger() = 0;                                               // 5
    virtual void SessionClosed() = 0;                                                      // 6
    virtual void GetStatus(int32_t* readyState, bool* redeclareRequested) = 0;             // 7
};

// The SDK's growing byte list and the reader of a copied input. The host
// only passes them by reference between its own objects, so their insides
// stay the SDK's affair.
struct ParameterByteList;
struct ParameterValueReader;

class IParameterValue {
public:
    virtual ~IParameterValue() {}                                         // 0
    virtual int32_t TypeCode() = 0;                                       // 1
    virtual bool CopyTo(IParameterValue& target) = 0;                     // 2
    virtual bool AssignBytes(const uint8_t* bytes, uint32_t length) = 0;  // 3
    virtual void SetFlag1(bool flag) = 0;                                 // 4
    virtual bool Flag1() = 0;                                             // 5
    virtual void SetFlag2(bool flag) = 0;                                 // 6
    virtual bool Flag2() = 0;                                             // 7
    virtual void SetFlag3(bool flag) = 0;                                 // 8
    virtual bool Flag3() = 0;                                             // 9
    virtual bool Equals(IParameterValue& other) = 0;                      // 10
};

template <typename T>
class IParameterValueTemplate : public IParameterValue {
public:
    virtual void SetValue(const T& value) = 0;                 // 11
    virtual T Value() = 0;                                     // 12
    virtual void WriteExtra(ParameterByteList& bytes) = 0;     // 13
    virtual bool ReadExtra(ParameterValueReader& reader) = 0;  // 14
};

// The boolean kind: type code 1, 8-byte form (type code, value, three flags).
class IParameterValueBool : public IParameterValueTemplate<bool> {};

}  // namespace ViconDigitalDevice
