#include "tests/windows/host_bool_value.h"

HostBoolValue::HostBoolValue(bool value, bool flag1, bool flag2, bool flag3)
    : form_{1,
            0,
            0,
            0,
            value ? uint8_t{1} : uint8_t{0},
            flag1 ? uint8_t{1} : uint8_t{0},
            flag2 ? uint8_t{1} : uint8_t{0},
            flag3 ? uint8_t{1} : uint8_t{0}} {}

bool HostBoolValue::AssignBytes(const uint8_t* bytes, uint32_t length) {
    ++assignCalls_;
    assignedLength_ = length;
    for (uint32_t i = 0; bytes != nullptr && i < length && i < sizeof assigned_; ++i) {
        assigned_[i] = bytes[i];
    }
    if (bytes == nullptr || length != kFormLength) return false;
    if (bytes[0] != 1 || bytes[1] != 0 || bytes[2] != 0 || bytes[3] != 0) return false;
    for (uint32_t i = 4; i < kFormLength; ++i) form_[i] = bytes[i];
    return true;
}

bool HostBoolValue::Equals(ViconDigitalDevice::IParameterValue& other) {
    HostBoolValue copy(false, false, false, false);
    if (!other.CopyTo(copy)) return false;
    for (uint32_t i = 0; i < kFormLength; ++i) {
        if (copy.form_[i] != form_[i]) return false;
    }
    return true;
}
