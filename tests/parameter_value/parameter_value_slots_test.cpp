// A host calls the value object by vtable slot and may read it in place, so
// reordering a declaration or a field must fail here, not in a host.
#include "device/parameter_value_bool.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

using ViconDigitalDevice::IParameterValue;
using ViconDigitalDevice::IParameterValueBool;
using ViconDigitalDevice::ParameterValueReader;

// The Itanium form gives the virtual destructor two vtable entries, so
// operation slot k >= 1 sits at vtable index k + 1; the Microsoft form (the
// Windows build) gives it one, so slot k sits at index k.
template <typename Fn>
Fn Slot(IParameterValue& object, int slot) {
    void** vtable = *reinterpret_cast<void***>(&object);
    return reinterpret_cast<Fn>(vtable[VARNIX_HOST_SDK_MICROSOFT_FORM ? slot : slot + 1]);
}

TEST(ParameterValueSlots, EveryOperationSitsInItsSlot) {
    IParameterValueBool v;
    IParameterValue& base = v;
    void* self = &v;

    EXPECT_EQ(Slot<int32_t (*)(void*)>(base, 1)(self), 1);  // TypeCode

    const uint8_t form[8] = {1, 0, 0, 0, 1, 0, 0, 0};
    EXPECT_TRUE(
        (Slot<bool (*)(void*, const uint8_t*, uint32_t)>(base, 3)(self, form, 8)));  // AssignBytes
    EXPECT_TRUE(Slot<bool (*)(void*)>(base, 12)(self));                              // Value

    Slot<void (*)(void*, bool)>(base, 4)(self, true);   // SetFlag1
    EXPECT_TRUE(Slot<bool (*)(void*)>(base, 5)(self));  // Flag1
    EXPECT_TRUE(v.Flag1() && !v.Flag2() && !v.Flag3());
    Slot<void (*)(void*, bool)>(base, 6)(self, true);   // SetFlag2
    EXPECT_TRUE(Slot<bool (*)(void*)>(base, 7)(self));  // Flag2
    EXPECT_FALSE(v.Flag3());
    Slot<void (*)(void*, bool)>(base, 8)(self, true);   // SetFlag3
    EXPECT_TRUE(Slot<bool (*)(void*)>(base, 9)(self));  // Flag3

    IParameterValueBool target;
    EXPECT_TRUE((Slot<bool (*)(void*, IParameterValue&)>(base, 2)(self, target)));  // CopyTo
    EXPECT_TRUE(target.Value() && target.Flag1() && target.Flag2() && target.Flag3());
    EXPECT_TRUE((Slot<bool (*)(void*, IParameterValue&)>(base, 10)(self, target)));  // Equals
    target.SetFlag2(false);
    EXPECT_FALSE((Slot<bool (*)(void*, IParameterValue&)>(base, 10)(self, target)));

    const bool no = false;
    Slot<void (*)(void*, const bool&)>(base, 11)(self, no);  // SetValue
    EXPECT_FALSE(v.Value());

    std::vector<uint8_t> extra;
    Slot<void (*)(void*, std::vector<uint8_t>&)>(base, 13)(self, extra);  // WriteExtra
    EXPECT_TRUE(extra.empty());
    ParameterValueReader reader{form, 8, 8};
    EXPECT_TRUE(
        (Slot<bool (*)(void*, ParameterValueReader&)>(base, 14)(self, reader)));  // ReadExtra
    EXPECT_EQ(reader.position, 8u);
}

// In the Microsoft form slot 0 is the scalar deleting destructor a host could
// call; what the plug-in lends it is never the host's to free, so the slot
// destroys nothing, whatever the flags, and hands back the object.
TEST(ParameterValueSlots, TheDestructorSlotOfTheMicrosoftFormFreesNothing) {
    if constexpr (!VARNIX_HOST_SDK_MICROSOFT_FORM) {
        GTEST_SKIP() << "the Itanium form's destructor entries are the compiler's own";
    } else {
        IParameterValueBool v;
        v.SetValue(true);
        IParameterValue& base = v;
        using DeletingDestructor = void* (*)(void*, unsigned int);
        EXPECT_EQ(Slot<DeletingDestructor>(base, 0)(&v, 1u), static_cast<void*>(&v));
        EXPECT_TRUE(v.Value()) << "the object is still whole";
        EXPECT_EQ(v.TypeCode(), 1);
    }
}

TEST(ParameterValueSlots, FieldsFollowTheVtablePointerInOrder) {
    IParameterValueBool v;
    const uint8_t form[8] = {1, 0, 0, 0, 0x11, 0x22, 0x33, 0x44};
    ASSERT_TRUE(v.AssignBytes(form, 8));
    uint8_t memory[sizeof v];
    std::memcpy(memory, static_cast<const void*>(&v), sizeof v);
    int32_t typeCode;
    std::memcpy(&typeCode, memory + sizeof(void*), sizeof typeCode);
    EXPECT_EQ(typeCode, 1);
    EXPECT_EQ(memory[12], 0x11);  // value
    EXPECT_EQ(memory[13], 0x22);  // flag1
    EXPECT_EQ(memory[14], 0x33);  // flag2
    EXPECT_EQ(memory[15], 0x44);  // flag3
}

}  // namespace
