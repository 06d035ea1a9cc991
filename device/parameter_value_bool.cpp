#include "device/parameter_value_bool.h"

#include <cstring>
#include <new>

namespace ViconDigitalDevice {

namespace {

void AppendInt32LittleEndian(std::vector<uint8_t>& bytes, int32_t number) {
    const uint32_t bits = static_cast<uint32_t>(number);
    for (int shift = 0; shift < 32; shift += 8) {
        bytes.push_back(static_cast<uint8_t>(bits >> shift));
    }
}

int32_t ReadInt32LittleEndian(const uint8_t* bytes) {
    uint32_t bits = 0;
    for (int i = 3; i >= 0; --i) {
        bits = (bits << 8) | bytes[i];
    }
    int32_t number;
    std::memcpy(&number, &bits, sizeof number);
    return number;
}

}  // namespace

int32_t IParameterValueBool::TypeCode() {
    return typeCode_;
}

bool IParameterValueBool::CopyTo(IParameterValue& target) {
    std::vector<uint8_t> bytes;
    try {
        bytes.reserve(kByteFormLength);
        AppendInt32LittleEndian(bytes, typeCode_);
        bytes.push_back(value_);
        bytes.push_back(flag1_);
        bytes.push_back(flag2_);
        bytes.push_back(flag3_);
        WriteExtra(bytes);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return target.AssignBytes(bytes.empty() ? nullptr : bytes.data(),
                              static_cast<uint32_t>(bytes.size()));
}

bool IParameterValueBool::AssignBytes(const uint8_t* bytes, uint32_t length) {
    if (bytes == nullptr || length == 0) {
        return false;
    }
    // The reader works on a copy: the input is lent for the call only.
    std::vector<uint8_t> copy;
    try {
        copy.assign(bytes, bytes + length);
    } catch (const std::bad_alloc&) {
        return false;
    }
    ParameterValueReader reader{copy.data(), length, 0};

    if (reader.length < 4 || ReadInt32LittleEndian(reader.bytes) != typeCode_) {
        return false;
    }
    reader.position = 4;
    for (uint8_t* field : {&value_, &flag1_, &flag2_, &flag3_}) {
        if (reader.position >= reader.length) {
            return false;
        }
        *field = reader.bytes[reader.position++];
    }
    return ReadExtra(reader) && reader.position == reader.length;
}

void IParameterValueBool::SetFlag1(bool flag) {
    flag1_ = flag ? 1 : 0;
}
bool IParameterValueBool::Flag1() {
    return flag1_ != 0;
}
void IParameterValueBool::SetFlag2(bool flag) {
    flag2_ = flag ? 1 : 0;
}
bool IParameterValueBool::Flag2() {
    return flag2_ != 0;
}
void IParameterValueBool::SetFlag3(bool flag) {
    flag3_ = flag ? 1 : 0;
}
bool IParameterValueBool::Flag3() {
    return flag3_ != 0;
}

bool IParameterValueBool::Equals(IParameterValue& other) {
    IParameterValueBool copy;
    if (!other.CopyTo(copy)) {
        return false;
    }
    return copy.typeCode_ == typeCode_ && copy.value_ == value_ && copy.flag1_ == flag1_ &&
           copy.flag2_ == flag2_ && copy.flag3_ == flag3_;
}

void IParameterValueBool::SetValue(const bool& value) {
    // Copy the byte itself: a host may reference a byte other than 0 or 1,
    // which must not be read as a bool.
    std::memcpy(&value_, &value, sizeof value_);
}

bool IParameterValueBool::Value() {
    return value_ != 0;
}

void IParameterValueBool::WriteExtra(std::vector<uint8_t>&) {}

bool IParameterValueBool::ReadExtra(ParameterValueReader&) {
    return true;
}

}  // namespace ViconDigitalDevice
