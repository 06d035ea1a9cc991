// Feeds arbitrary bytes to a boolean value's AssignBytes and checks the
// acceptance and refusal rules against an independent reading of the byte
// form, then CopyTo and Equals between the result and a second value. Any
// broken rule traps.
//
// Input: one byte choosing the starting flags of the receiving value, then
// the bytes handed to AssignBytes.
#include "device/parameter_value_bool.h"

#include <cstdint>
#include <cstring>

namespace {

using ViconDigitalDevice::IParameterValueBool;

void Require(bool holds) {
    if (!holds) {
        __builtin_trap();
    }
}

struct Expected {
    bool accepted;
    uint8_t fields[4];
};

// What the byte form says, worked out apart from the class under test.
Expected Judge(const uint8_t* bytes, size_t length, const uint8_t before[4]) {
    Expected e{false, {before[0], before[1], before[2], before[3]}};
    if (length < 4 || bytes[0] != 1 || bytes[1] != 0 || bytes[2] != 0 || bytes[3] != 0) {
        return e;
    }
    for (size_t i = 0; i < 4 && 4 + i < length; ++i) {
        e.fields[i] = bytes[4 + i];
    }
    e.accepted = length == 8;
    return e;
}

// Reads back the four bytes through CopyTo, so that raw bytes other than 0
// and 1 are seen as they are.
struct Capture final : ViconDigitalDevice::IParameterValue {
    uint8_t form[16] = {};
    uint32_t length = 0;
    int32_t TypeCode() override { return 1; }
    bool CopyTo(IParameterValue&) override { return false; }
    bool AssignBytes(const uint8_t* bytes, uint32_t n) override {
        Require(bytes != nullptr && n <= sizeof form);
        std::memcpy(form, bytes, n);
        length = n;
        return true;
    }
    void SetFlag1(bool) override {}
    bool Flag1() override { return false; }
    void SetFlag2(bool) override {}
    bool Flag2() override { return false; }
    void SetFlag3(bool) override {}
    bool Flag3() override { return false; }
    bool Equals(IParameterValue&) override { return false; }
};

void ReadFields(IParameterValueBool& v, uint8_t out[4]) {
    Capture capture;
    Require(v.CopyTo(capture));
    Require(capture.length == 8);
    Require(capture.form[0] == 1 && capture.form[1] == 0 && capture.form[2] == 0 &&
            capture.form[3] == 0);
    std::memcpy(out, capture.form + 4, 4);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        IParameterValueBool v;
        Require(!v.AssignBytes(data, 0));
        Require(!v.AssignBytes(nullptr, 8));
        return 0;
    }
    const uint8_t start = data[0];
    const uint8_t* bytes = data + 1;
    const size_t length = size - 1;

    IParameterValueBool value;
    const bool startValue = (start & 1) != 0;
    value.SetValue(startValue);
    value.SetFlag1((start & 2) != 0);
    value.SetFlag2((start & 4) != 0);
    value.SetFlag3((start & 8) != 0);
    uint8_t before[4];
    ReadFields(value, before);

    const Expected expected = Judge(bytes, length, before);
    const bool accepted =
        value.AssignBytes(length == 0 ? nullptr : bytes, static_cast<uint32_t>(length));
    Require(accepted == expected.accepted);
    uint8_t after[4];
    ReadFields(value, after);
    Require(std::memcmp(after, expected.fields, 4) == 0);
    Require(value.TypeCode() == 1);
    Require(value.Value() == (after[0] != 0));
    Require(value.Flag1() == (after[1] != 0) && value.Flag2() == (after[2] != 0) &&
            value.Flag3() == (after[3] != 0));

    // A copy is equal to its source, both ways; one changed flag breaks it.
    IParameterValueBool copy;
    Require(value.CopyTo(copy));
    Require(copy.Equals(value) && value.Equals(copy) && value.Equals(value));
    copy.SetFlag2(!copy.Flag2());
    Require(!copy.Equals(value) && !value.Equals(copy));
    return 0;
}
