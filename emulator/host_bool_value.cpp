#include "emulator/host_bool_value.h"

#include <cstring>

namespace varnix::emulator {

std::array<uint8_t, 8> ToBytes(const BoolValueState& state) {
    const uint32_t code = static_cast<uint32_t>(state.typeCode);
    return {static_cast<uint8_t>(code),        static_cast<uint8_t>(code >> 8),
            static_cast<uint8_t>(code >> 16),  static_cast<uint8_t>(code >> 24),
            static_cast<uint8_t>(state.value), static_cast<uint8_t>(state.flag1),
            static_cast<uint8_t>(state.flag2), static_cast<uint8_t>(state.flag3)};
}

int32_t HostBoolValue::TypeCode() {
    return state_.typeCode;
}

bool HostBoolValue::CopyTo(ViconDigitalDevice::IParameterValue& target) {
    const auto fixed = ToBytes(state_);
    std::vector<uint8_t> bytes(fixed.begin(), fixed.end());
    WriteExtra(bytes);
    return target.AssignBytes(bytes.data(), static_cast<uint32_t>(bytes.size()));
}

bool HostBoolValue::AssignBytes(const uint8_t* bytes, uint32_t length) {
    if (bytes == nullptr || length == 0) return false;
    std::vector<uint8_t> copy(bytes, bytes + length);
    ViconDigitalDevice::ParameterValueReader reader{copy.data(), length, 0};
    if (length < 4) return false;
    const int32_t code = static_cast<int32_t>(uint32_t{copy[0]} | uint32_t{copy[1]} << 8 |
                                              uint32_t{copy[2]} << 16 | uint32_t{copy[3]} << 24);
    reader.position = 4;
    if (code != state_.typeCode) return false;
    for (bool* field : {&state_.value, &state_.flag1, &state_.flag2, &state_.flag3}) {
        if (reader.position >= length) return false;
        *field = copy[reader.position++] != 0;
    }
    return ReadExtra(reader) && reader.position == length;
}

void HostBoolValue::SetFlag1(bool flag) {
    state_.flag1 = flag;
}
bool HostBoolValue::Flag1() {
    return state_.flag1;
}
void HostBoolValue::SetFlag2(bool flag) {
    state_.flag2 = flag;
}
bool HostBoolValue::Flag2() {
    return state_.flag2;
}
void HostBoolValue::SetFlag3(bool flag) {
    state_.flag3 = flag;
}
bool HostBoolValue::Flag3() {
    return state_.flag3;
}

bool HostBoolValue::Equals(ViconDigitalDevice::IParameterValue& other) {
    HostBoolValue copy;
    if (!other.CopyTo(copy)) return false;
    const BoolValueState& theirs = copy.State();
    return theirs.typeCode == state_.typeCode && theirs.value == state_.value &&
           theirs.flag1 == state_.flag1 && theirs.flag2 == state_.flag2 &&
           theirs.flag3 == state_.flag3;
}

void HostBoolValue::SetValue(const bool& value) {
    state_.value = value;
}
bool HostBoolValue::Value() {
    return state_.value;
}
void HostBoolValue::WriteExtra(std::vector<uint8_t>&) {}
bool HostBoolValue::ReadExtra(ViconDigitalDevice::ParameterValueReader&) {
    return true;
}

}  // namespace varnix::emulator
