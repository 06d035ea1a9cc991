// The boolean parameter value of the host SDK: the object in which the
// plug-in lends a trigger setting to the host, and into which the host writes
// a setting's current value.
//
// The host calls it by vtable slot, and value objects hand themselves to one
// another in a fixed byte form, so slot order, byte form and results bind:
//
//   byte form (8 bytes): typeCode (int32, little-endian) | value | flag1 | flag2 | flag3
//
// The plug-in builds each object on its own stack and lends it for one host
// call. [host][acquisition]: used on whichever thread lends it, never shared.
// No operation blocks or takes a lock; none throws (a host-facing virtual
// turns an allocation failure into a refusal).
#pragma once

#include "host/host_interfaces.h"

#include <cstdint>
#include <vector>

namespace ViconDigitalDevice {

class IParameterValueBool final : public IParameterValueTemplate<bool> {
public:
    // The kind code of a boolean value.
    static constexpr int32_t kTypeCode = 1;
    // Length of the byte form of a boolean value.
    static constexpr uint32_t kByteFormLength = 8;

    // A fresh value: typeCode 1, value and the three attributes false.
    IParameterValueBool() = default;
    ~IParameterValueBool() = default;

    int32_t TypeCode() override;  // 1
    // Hands this object's byte form to target.AssignBytes and returns its answer.
    bool CopyTo(IParameterValue& target) override;  // 2
    // `bytes` is lent for the call. True only for a complete byte form of this
    // kind. Refuses null or empty input, fewer than 4 bytes, another type
    // code, fewer than 8 bytes and more than 8; the four one-byte fields are
    // taken in order while bytes remain, before the length is judged, so a
    // refused 5..7 or 9+ byte input has already changed some of them.
    bool AssignBytes(const uint8_t* bytes, uint32_t length) override;  // 3
    void SetFlag1(bool flag) override;                                 // 4
    bool Flag1() override;                                             // 5
    void SetFlag2(bool flag) override;                                 // 6
    bool Flag2() override;                                             // 7
    void SetFlag3(bool flag) override;                                 // 8
    bool Flag3() override;                                             // 9
    // True when `other` copies into a fresh boolean value that matches this
    // one in typeCode and all four bytes.
    bool Equals(IParameterValue& other) override;  // 10
    // Stores the referenced byte as it is (a host may hand any non-zero byte).
    void SetValue(const bool& value) override;  // 11
    bool Value() override;                      // 12
    // The boolean kind has no bytes after offset 8.
    void WriteExtra(std::vector<uint8_t>& bytes) override;  // 13
    bool ReadExtra(ParameterValueReader& reader) override;  // 14

private:
    // The one-byte fields are kept as raw bytes: the host may write any byte,
    // and a byte other than 0 counts as true wherever it is tested.
    int32_t typeCode_ = kTypeCode;
    uint8_t value_ = 0;
    uint8_t flag1_ = 0;
    uint8_t flag2_ = 0;
    uint8_t flag3_ = 0;
};

// One pointer of vtable, then typeCode and the four bytes.
static_assert(sizeof(IParameterValueBool) == 16, "IParameterValueBool: vtable pointer + 8 bytes");
static_assert(alignof(IParameterValueBool) == 8, "IParameterValueBool is pointer-aligned");

}  // namespace ViconDigitalDevice
