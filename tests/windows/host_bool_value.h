// The host's own boolean parameter value, built with Microsoft's ABI: the
// target of the plug-in's CopyTo and the other side of its Equals. It keeps
// the 8-byte form (type code 1 little-endian, value, three flags) and the
// bytes the plug-in last assigned.
#pragma once

#include "tests/windows/sdk_interfaces.h"

class HostBoolValue final : public ViconDigitalDevice::IParameterValueBool {
public:
    static constexpr uint32_t kFormLength = 8;

    HostBoolValue(bool value, bool flag1, bool flag2, bool flag3);

    int32_t TypeCode() override { return 1; }
    bool CopyTo(ViconDigitalDevice::IParameterValue& target) override {
        return target.AssignBytes(form_, kFormLength);
    }
    bool AssignBytes(const uint8_t* bytes, uint32_t length) override;
    void SetFlag1(bool flag) override { form_[5] = flag ? 1 : 0; }
    bool Flag1() override { return form_[5] != 0; }
    void SetFlag2(bool flag) override { form_[6] = flag ? 1 : 0; }
    bool Flag2() override { return form_[6] != 0; }
    void SetFlag3(bool flag) override { form_[7] = flag ? 1 : 0; }
    bool Flag3() override { return form_[7] != 0; }
    bool Equals(ViconDigitalDevice::IParameterValue& other) override;
    void SetValue(const bool& value) override { form_[4] = value ? 1 : 0; }
    bool Value() override { return form_[4] != 0; }
    // The boolean kind carries nothing after the 8 bytes.
    void WriteExtra(ViconDigitalDevice::ParameterByteList&) override {}
    bool ReadExtra(ViconDigitalDevice::ParameterValueReader&) override { return true; }

    // What the last AssignBytes received (at most 16 bytes kept) and how
    // many calls came.
    uint32_t AssignedLength() const { return assignedLength_; }
    const uint8_t* AssignedBytes() const { return assigned_; }
    int AssignCalls() const { return assignCalls_; }

private:
    uint8_t form_[kFormLength];
    uint8_t assigned_[16] = {};
    uint32_t assignedLength_ = 0;
    int assignCalls_ = 0;
};
