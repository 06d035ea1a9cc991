// Hosts and plug-ins call each other's objects by vtable slot. These tests
// call every interface through the raw slot numbers of the contract, so a
// reordered or retyped declaration in host_interfaces.h fails here instead of
// inside a host. Slot k of a class without a virtual destructor is vtable
// entry k in both binary forms of the SDK. With one (IDevice,
// IParameterValue) the Itanium form gives the destructor entries 0 and 1, so
// operation slot k >= 1 is entry k + 1; the Microsoft form (the Windows
// build) gives it entry 0 alone, so slot k is entry k. An operation that
// returns IHostResult hands it back in a register in the Itanium form and
// through the caller's result pointer, passed after the object, in the
// Microsoft form.
#include "host/host_interfaces.h"
#include "tests/support/host_doubles.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

using namespace ViconDigitalDevice;

namespace {

std::string called;

template <typename Fn, typename Object>
Fn Slot(Object* object, int entry) {
    void** table = *reinterpret_cast<void***>(object);
    return reinterpret_cast<Fn>(table[entry]);
}

// The vtable entry of operation slot `slot` of a class with a virtual
// destructor.
constexpr int AfterDestructor(int slot) {
    return VARNIX_HOST_SDK_MICROSOFT_FORM ? slot : slot + 1;
}

// Calls the host operation in slot `slot` of `object` as a host's caller
// would in this build's form, and returns the result it handed back.
template <typename... Args, typename Object>
IHostResult CallResult(Object* object, int slot, Args... args) {
    if constexpr (VARNIX_HOST_SDK_MICROSOFT_FORM) {
        IHostResult result{reinterpret_cast<IHostError*>(uintptr_t{1})};
        IHostResult* returned = Slot<IHostResult* (*)(void*, IHostResult*, Args...)>(object, slot)(
            object, &result, args...);
        EXPECT_EQ(returned, &result) << "the result's address comes back";
        return result;
    } else {
        return Slot<IHostResult (*)(void*, Args...)>(object, slot)(object, args...);
    }
}

IHostResult Ok(const char* name) {
    called = name;
    return {nullptr};
}

struct Services : IHostServices {
    void Log(const char* text, int32_t level) override {
        called = std::string("Log:") + text + std::to_string(level);
    }
    uint32_t GetTimebase() override {
        called = "GetTimebase";
        return 100;
    }
    int32_t GetStartCode() override {
        called = "GetStartCode";
        return -5;
    }
};

struct Builder : host_doubles::BuilderBase {
    IHostResult DefineDevice(const char*, const char*, const char*, const char*, const char*,
                             const char*, const char* d) override {
        return Ok(d);
    }
    IHostResult AddBoolParameter(const char* key, const char*, const char*, const char*, bool,
                                 const IParameterValueBool&, void*) override {
        return Ok(key);
    }
    IHostResult AddSignal(const char*) override { return Ok("AddSignal"); }
    IHostResult AddOutput(const char*, int32_t unit) override {
        called = "AddOutput" + std::to_string(unit);
        return {nullptr};
    }
    IHostResult AddComponent(const char*) override { return Ok("AddComponent"); }
    void Unused5() override { called = "Unused5"; }
    IHostResult Commit() override { return Ok("Commit"); }
};

struct Context : host_doubles::ContextBase {
    IHostResult GetParameterValue(IParameterValue&, const char* key, const char*) override {
        return Ok(key);
    }
    void Unused1() override { called = "Unused1"; }
    uint32_t GetEntryCount() override {
        called = "GetEntryCount";
        return 3;
    }
    IHostResult FillEntries(int32_t*, void**, int32_t*) override { return Ok("FillEntries"); }
    IHostResult PushSamples(int32_t, int64_t first, int32_t, const int32_t*, int32_t, const float*,
                            int32_t count) override {
        called = "PushSamples" + std::to_string(first) + "/" + std::to_string(count);
        return {nullptr};
    }
    bool RequestUpdate() override {
        called = "RequestUpdate";
        return true;
    }
};

struct Declaration : host_doubles::DeclarationBase {
    IHostResult SetPeriod(int64_t period) override {
        called = "SetPeriod" + std::to_string(period);
        return {nullptr};
    }
    IHostResult DeclareSignal(const char* name, int32_t, int32_t, int32_t, int32_t, bool) override {
        return Ok(name);
    }
    void SetOption(int32_t option) override { called = "SetOption" + std::to_string(option); }
    IHostResult SetValueCount(int32_t count) override {
        called = "SetValueCount" + std::to_string(count);
        return {nullptr};
    }
};

struct Registrar : host_doubles::RegistrarBase {
    IHostResult RegisterDevice(void* first, const char* name, void* third, const char* nameAgain,
                               IDevice* device) override {
        called = "RegisterDevice" + std::to_string(reinterpret_cast<uintptr_t>(first)) + name +
                 std::to_string(reinterpret_cast<uintptr_t>(third)) + nameAgain +
                 (device != nullptr ? "+device" : "-");
        return {nullptr};
    }
};

struct Device : IDevice {
    bool AttachContext(IDeviceContext*) override {
        called = "AttachContext";
        return true;
    }
    void RefreshEntries() override { called = "RefreshEntries"; }
    bool DeclareSession(int32_t id, ISessionDeclaration*) override {
        called = "DeclareSession" + std::to_string(id);
        return true;
    }
    void SessionOpened() override { called = "SessionOpened"; }
    void SoftwareStartTrigger() override { called = "SoftwareStartTrigger"; }
    void SessionClosed() override { called = "SessionClosed"; }
    void GetStatus(int32_t*, bool*) override { called = "GetStatus"; }
};

struct BoolValue : IParameterValueTemplate<bool> {
    int32_t TypeCode() override {
        called = "TypeCode";
        return 1;
    }
    bool CopyTo(IParameterValue&) override {
        called = "CopyTo";
        return true;
    }
    bool AssignBytes(const uint8_t*, uint32_t length) override {
        called = "AssignBytes" + std::to_string(length);
        return true;
    }
    void SetFlag1(bool) override { called = "SetFlag1"; }
    bool Flag1() override {
        called = "Flag1";
        return true;
    }
    void SetFlag2(bool) override { called = "SetFlag2"; }
    bool Flag2() override {
        called = "Flag2";
        return true;
    }
    void SetFlag3(bool) override { called = "SetFlag3"; }
    bool Flag3() override {
        called = "Flag3";
        return true;
    }
    bool Equals(IParameterValue&) override {
        called = "Equals";
        return true;
    }
    void SetValue(const bool&) override { called = "SetValue"; }
    bool Value() override {
        called = "Value";
        return true;
    }
    void WriteExtra(std::vector<uint8_t>&) override { called = "WriteExtra"; }
    bool ReadExtra(ParameterValueReader&) override {
        called = "ReadExtra";
        return true;
    }
};

TEST(VtableSlots, HostServicesAndBuilder) {
    Services services;
    Slot<void (*)(void*, const char*, int32_t)>(&services, 0)(&services, "x", 3);
    EXPECT_EQ(called, "Log:x3");
    EXPECT_EQ(Slot<uint32_t (*)(void*)>(&services, 1)(&services), 100u);
    EXPECT_EQ(Slot<int32_t (*)(void*)>(&services, 2)(&services), -5);

    Builder builder;
    const char* none = "";
    CallResult(&builder, 0, none, none, none, none, none, none, "DefineDevice");
    EXPECT_EQ(called, "DefineDevice");
    BoolValue value;
    CallResult<const char*, const char*, const char*, const char*, bool, const IParameterValueBool*,
               void*>(&builder, 1, "StartTrigger", none, none, none, false,
                      reinterpret_cast<const IParameterValueBool*>(&value), nullptr);
    EXPECT_EQ(called, "StartTrigger");
    CallResult<const char*>(&builder, 2, "Start");
    EXPECT_EQ(called, "AddSignal");
    CallResult<const char*, int32_t>(&builder, 3, "emg", 20);
    EXPECT_EQ(called, "AddOutput20");
    CallResult<const char*>(&builder, 4, "x");
    EXPECT_EQ(called, "AddComponent");
    Slot<void (*)(void*)>(&builder, 5)(&builder);
    EXPECT_EQ(called, "Unused5");
    CallResult(&builder, 6);
    EXPECT_EQ(called, "Commit");
}

TEST(VtableSlots, ContextDeclarationAndRegistrarShapes) {
    Context context;
    BoolValue value;
    CallResult<IParameterValue*, const char*, const char*>(&context, 0, &value, "StopTrigger", "");
    EXPECT_EQ(called, "StopTrigger");
    Slot<void (*)(void*)>(&context, 1)(&context);
    EXPECT_EQ(called, "Unused1");
    EXPECT_EQ(Slot<uint32_t (*)(void*)>(&context, 2)(&context), 3u);
    CallResult<int32_t*, void**, int32_t*>(&context, 3, nullptr, nullptr, nullptr);
    EXPECT_EQ(called, "FillEntries");
    CallResult<int32_t, int64_t, int32_t, const int32_t*, int32_t, const float*, int32_t>(
        &context, 4, 1, int64_t{1} << 40, 27, nullptr, 2, nullptr, 54);
    EXPECT_EQ(called, "PushSamples1099511627776/54");
    EXPECT_TRUE(Slot<bool (*)(void*)>(&context, 5)(&context));
    EXPECT_EQ(called, "RequestUpdate");

    Declaration declaration;
    CallResult<int64_t>(&declaration, 0, -9);
    EXPECT_EQ(called, "SetPeriod-9");
    CallResult<const char*, int32_t, int32_t, int32_t, int32_t, bool>(&declaration, 1, "Start", 1,
                                                                      2, 0, 0, true);
    EXPECT_EQ(called, "Start");
    Slot<void (*)(void*, int32_t)>(&declaration, 2)(&declaration, 0);
    EXPECT_EQ(called, "SetOption0");
    CallResult<int32_t>(&declaration, 3, 54);
    EXPECT_EQ(called, "SetValueCount54");

    Registrar registrar;
    Device device;
    const IHostResult registered = CallResult<void*, const char*, void*, const char*, IDevice*>(
        &registrar, 0, reinterpret_cast<void*>(7), "EMG 1", reinterpret_cast<void*>(9),
        "EMG 1 again", &device);
    EXPECT_EQ(called, "RegisterDevice7EMG 19EMG 1 again+device") << "arguments in the slot's order";
    EXPECT_EQ(registered.error, nullptr);

    // The result handle is one pointer.
    static_assert(sizeof(IHostResult) == 8, "one pointer");
}

TEST(VtableSlots, PluginSideDeviceAndParameterValue) {
    Device device;
    EXPECT_TRUE(
        Slot<bool (*)(void*, IDeviceContext*)>(&device, AfterDestructor(1))(&device, nullptr));
    EXPECT_EQ(called, "AttachContext");
    Slot<void (*)(void*)>(&device, AfterDestructor(2))(&device);
    EXPECT_EQ(called, "RefreshEntries");
    Slot<bool (*)(void*, int32_t, ISessionDeclaration*)>(&device, AfterDestructor(3))(&device, 42,
                                                                                      nullptr);
    EXPECT_EQ(called, "DeclareSession42");
    Slot<void (*)(void*)>(&device, AfterDestructor(4))(&device);
    EXPECT_EQ(called, "SessionOpened");
    Slot<void (*)(void*)>(&device, AfterDestructor(5))(&device);
    EXPECT_EQ(called, "SoftwareStartTrigger");
    Slot<void (*)(void*)>(&device, AfterDestructor(6))(&device);
    EXPECT_EQ(called, "SessionClosed");
    Slot<void (*)(void*, int32_t*, bool*)>(&device, AfterDestructor(7))(&device, nullptr, nullptr);
    EXPECT_EQ(called, "GetStatus");

    BoolValue value;
    const char* expected[] = {"TypeCode", "CopyTo", "AssignBytes8", "SetFlag1", "Flag1",
                              "SetFlag2", "Flag2",  "SetFlag3",     "Flag3",    "Equals",
                              "SetValue", "Value",  "WriteExtra",   "ReadExtra"};
    std::vector<uint8_t> bytes;
    ParameterValueReader reader{nullptr, 0, 0};
    const bool yes = true;
    Slot<int32_t (*)(void*)>(&value, AfterDestructor(1))(&value);
    EXPECT_EQ(called, expected[0]);
    Slot<bool (*)(void*, IParameterValue&)>(&value, AfterDestructor(2))(&value, value);
    EXPECT_EQ(called, expected[1]);
    Slot<bool (*)(void*, const uint8_t*, uint32_t)>(&value, AfterDestructor(3))(&value, nullptr, 8);
    EXPECT_EQ(called, expected[2]);
    for (int slot = 4; slot <= 9; ++slot) {
        if (slot % 2 == 0) {
            Slot<void (*)(void*, bool)>(&value, AfterDestructor(slot))(&value, true);
        } else {
            Slot<bool (*)(void*)>(&value, AfterDestructor(slot))(&value);
        }
        EXPECT_EQ(called, expected[slot - 1]) << "slot " << slot;
    }
    Slot<bool (*)(void*, IParameterValue&)>(&value, AfterDestructor(10))(&value, value);
    EXPECT_EQ(called, expected[9]);
    Slot<void (*)(void*, const bool&)>(&value, AfterDestructor(11))(&value, yes);
    EXPECT_EQ(called, expected[10]);
    Slot<bool (*)(void*)>(&value, AfterDestructor(12))(&value);
    EXPECT_EQ(called, expected[11]);
    Slot<void (*)(void*, std::vector<uint8_t>&)>(&value, AfterDestructor(13))(&value, bytes);
    EXPECT_EQ(called, expected[12]);
    Slot<bool (*)(void*, ParameterValueReader&)>(&value, AfterDestructor(14))(&value, reader);
    EXPECT_EQ(called, expected[13]);
}

}  // namespace
