// The host's own boolean parameter value: what the host copies a plug-in's
// value into, and what it keeps in its parameter store. Same byte form as
// every parameter value of the SDK: type code (4 bytes, little-endian), value,
// three attribute bytes, then the kind's extra bytes (none for booleans).
#pragma once

#include "host/host_interfaces.h"

#include <array>
#include <cstdint>
#include <vector>

namespace varnix::emulator {

struct BoolValueState {
    int32_t typeCode = 1;
    bool value = false;
    bool flag1 = false;
    bool flag2 = false;
    bool flag3 = false;
};

// The 8-byte form of a boolean value.
std::array<uint8_t, 8> ToBytes(const BoolValueState& state);

// [host][acquisition] Used on whichever thread the host is called on; one
// object is never shared between threads. Never blocks; CopyTo allocates.
class HostBoolValue final : public ViconDigitalDevice::IParameterValueTemplate<bool> {
public:
    HostBoolValue() = default;
    explicit HostBoolValue(const BoolValueState& state) : state_(state) {}

    int32_t TypeCode() override;
    bool CopyTo(ViconDigitalDevice::IParameterValue& target) override;
    bool AssignBytes(const uint8_t* bytes, uint32_t length) override;
    void SetFlag1(bool flag) override;
    bool Flag1() override;
    void SetFlag2(bool flag) override;
    bool Flag2() override;
    void SetFlag3(bool flag) override;
    bool Flag3() override;
    bool Equals(ViconDigitalDevice::IParameterValue& other) override;
    void SetValue(const bool& value) override;
    bool Value() override;
    void WriteExtra(std::vector<uint8_t>& bytes) override;
    bool ReadExtra(ViconDigitalDevice::ParameterValueReader& reader) override;

    const BoolValueState& State() const { return state_; }

private:
    BoolValueState state_;
};

}  // namespace varnix::emulator
