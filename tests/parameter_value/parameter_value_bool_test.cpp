#include "device/parameter_value_bool.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

namespace {

using ViconDigitalDevice::IParameterValue;
using ViconDigitalDevice::IParameterValueBool;
using Bytes = std::vector<uint8_t>;

// The four one-byte fields and the kind, as the byte form carries them.
std::array<int32_t, 5> Fields(IParameterValueBool& v) {
    return {v.TypeCode(), v.Value(), v.Flag1(), v.Flag2(), v.Flag3()};
}

// Captures what a CopyTo hands over, and answers with a fixed verdict.
class RecordingTarget final : public IParameterValue {
public:
    explicit RecordingTarget(bool verdict) : verdict_(verdict) {}
    int32_t TypeCode() override { return 1; }
    bool CopyTo(IParameterValue&) override { return false; }
    bool AssignBytes(const uint8_t* bytes, uint32_t length) override {
        received.assign(bytes, bytes + length);
        return verdict_;
    }
    void SetFlag1(bool) override {}
    bool Flag1() override { return false; }
    void SetFlag2(bool) override {}
    bool Flag2() override { return false; }
    void SetFlag3(bool) override {}
    bool Flag3() override { return false; }
    bool Equals(IParameterValue&) override { return false; }
    Bytes received;

private:
    bool verdict_;
};

// A value of another kind: hands out a byte form with its own type code.
class OtherKindValue final : public IParameterValue {
public:
    explicit OtherKindValue(Bytes form) : form_(std::move(form)) {}
    int32_t TypeCode() override { return 2; }
    bool CopyTo(IParameterValue& target) override {
        return target.AssignBytes(form_.data(), static_cast<uint32_t>(form_.size()));
    }
    bool AssignBytes(const uint8_t*, uint32_t) override { return false; }
    void SetFlag1(bool) override {}
    bool Flag1() override { return false; }
    void SetFlag2(bool) override {}
    bool Flag2() override { return false; }
    void SetFlag3(bool) override {}
    bool Flag3() override { return false; }
    bool Equals(IParameterValue&) override { return false; }

private:
    Bytes form_;
};

TEST(ParameterValueBool, FreshValueIsBooleanAndFalse) {
    IParameterValueBool v;
    EXPECT_EQ(Fields(v), (std::array<int32_t, 5>{1, 0, 0, 0, 0}));
    v.SetValue(true);
    v.SetFlag2(true);
    EXPECT_EQ(Fields(v), (std::array<int32_t, 5>{1, 1, 0, 1, 0}));
}

TEST(ParameterValueBool, AssignBytesTakesExactlyTheEightByteForm) {
    IParameterValueBool v;
    const Bytes form{1, 0, 0, 0, 1, 0, 1, 1};
    EXPECT_TRUE(v.AssignBytes(form.data(), 8));
    EXPECT_EQ(Fields(v), (std::array<int32_t, 5>{1, 1, 0, 1, 1}));

    // Any non-zero byte is true.
    const Bytes two{1, 0, 0, 0, 2, 0, 0, 0};
    EXPECT_TRUE(v.AssignBytes(two.data(), 8));
    EXPECT_TRUE(v.Value());
    EXPECT_FALSE(v.Flag2());
}

TEST(ParameterValueBool, RefusedLengthsHaveUpdatedTheFieldsReadSoFar) {
    // Nine bytes: all four fields are taken, then the surplus byte refuses.
    IParameterValueBool nine;
    const Bytes long_form{1, 0, 0, 0, 1, 1, 1, 1, 0};
    EXPECT_FALSE(nine.AssignBytes(long_form.data(), 9));
    EXPECT_EQ(Fields(nine), (std::array<int32_t, 5>{1, 1, 1, 1, 1}));

    // Six bytes: value and flag1 are taken before the missing bytes refuse.
    IParameterValueBool six;
    EXPECT_FALSE(six.AssignBytes(long_form.data(), 6));
    EXPECT_EQ(Fields(six), (std::array<int32_t, 5>{1, 1, 1, 0, 0}));

    // Four bytes of the right kind: nothing to take, refused.
    IParameterValueBool four;
    EXPECT_FALSE(four.AssignBytes(long_form.data(), 4));
    EXPECT_EQ(Fields(four), (std::array<int32_t, 5>{1, 0, 0, 0, 0}));
}

TEST(ParameterValueBool, RefusalsThatChangeNothing) {
    IParameterValueBool v;
    v.SetFlag3(true);
    const std::array<int32_t, 5> before = Fields(v);
    const Bytes form{1, 0, 0, 0, 1, 1, 1, 0};

    EXPECT_FALSE(v.AssignBytes(nullptr, 8));
    EXPECT_FALSE(v.AssignBytes(form.data(), 0));
    EXPECT_FALSE(v.AssignBytes(form.data(), 3));
    const Bytes kind2{2, 0, 0, 0, 1, 1, 1, 0};
    EXPECT_FALSE(v.AssignBytes(kind2.data(), 8));
    // The type code is little-endian: 1 written big-endian is another kind.
    const Bytes bigEndian{0, 0, 0, 1, 1, 1, 1, 0};
    EXPECT_FALSE(v.AssignBytes(bigEndian.data(), 8));
    const Bytes negative{0xFF, 0xFF, 0xFF, 0xFF, 1, 1, 1, 0};
    EXPECT_FALSE(v.AssignBytes(negative.data(), 8));
    EXPECT_EQ(Fields(v), before);
}

TEST(ParameterValueBool, CopyToHandsOverTheByteFormAndPassesTheVerdictOn) {
    IParameterValueBool source;
    source.SetValue(true);
    source.SetFlag1(true);
    source.SetFlag3(true);

    IParameterValueBool target;
    EXPECT_TRUE(source.CopyTo(target));
    EXPECT_EQ(Fields(target), (std::array<int32_t, 5>{1, 1, 1, 0, 1}));

    RecordingTarget accepting(true);
    EXPECT_TRUE(source.CopyTo(accepting));
    EXPECT_EQ(accepting.received, (Bytes{1, 0, 0, 0, 1, 1, 0, 1}));

    RecordingTarget refusing(false);
    EXPECT_FALSE(source.CopyTo(refusing));
    EXPECT_EQ(refusing.received.size(), 8u);

    // A byte other than 0 or 1 travels as it is.
    IParameterValueBool raw;
    const Bytes two{1, 0, 0, 0, 2, 0, 0, 0};
    ASSERT_TRUE(raw.AssignBytes(two.data(), 8));
    ASSERT_TRUE(raw.CopyTo(accepting));
    EXPECT_EQ(accepting.received[4], 2);
}

TEST(ParameterValueBool, EqualsComparesKindValueAndEveryFlag) {
    IParameterValueBool a;
    IParameterValueBool b;
    EXPECT_TRUE(a.Equals(b));
    EXPECT_TRUE(a.Equals(a));

    using Setter = void (IParameterValueBool::*)(bool);
    for (Setter set : {&IParameterValueBool::SetFlag1, &IParameterValueBool::SetFlag2,
                       &IParameterValueBool::SetFlag3}) {
        IParameterValueBool left;
        IParameterValueBool right;
        left.SetValue(true);
        right.SetValue(true);
        (left.*set)(true);
        EXPECT_FALSE(left.Equals(right));
        EXPECT_FALSE(right.Equals(left));
        (right.*set)(true);
        EXPECT_TRUE(left.Equals(right));
    }
    b.SetValue(true);
    EXPECT_FALSE(a.Equals(b));

    // Another kind is never equal, even with the same four bytes.
    OtherKindValue other(Bytes{2, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_FALSE(a.Equals(other));
    // A source that refuses to copy is not equal either.
    RecordingTarget refusing(false);
    EXPECT_FALSE(a.Equals(refusing));
}

TEST(ParameterValueBool, SetValueStoresTheReferencedByte) {
    IParameterValueBool v;
    const uint8_t one = 1;
    v.SetValue(*reinterpret_cast<const bool*>(&one));
    EXPECT_TRUE(v.Value());
    // A host may reference any byte; it is kept as it is and counts as true.
    const uint8_t seven = 7;
    v.SetValue(*reinterpret_cast<const bool*>(&seven));
    EXPECT_TRUE(v.Value());
    RecordingTarget accepting(true);
    ASSERT_TRUE(v.CopyTo(accepting));
    EXPECT_EQ(accepting.received[4], 7);
    const bool no = false;
    v.SetValue(no);
    EXPECT_FALSE(v.Value());
}

}  // namespace
