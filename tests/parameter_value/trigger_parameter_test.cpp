#include "device/trigger_parameter.h"
#include "device/parameter_value_bool.h"
#include "tests/support/host_doubles.h"

#include <gtest/gtest.h>

#include <string>

using varnix::ReadBoolParameter;

namespace {

using namespace ViconDigitalDevice;

using host_doubles::CountingError;

enum class Fill { Nothing, AssignBytes, SetValue };

// A host context that answers GetParameterValue in one of the two ways a
// host may fill a value, or not at all, optionally with an error result.
class ScriptedContext final : public host_doubles::ContextBase {
public:
    IHostResult GetParameterValue(IParameterValue& value, const char* key,
                                  const char* qualifier) override {
        lastKey = key;
        lastQualifier = qualifier;
        ++calls;
        freshTypeCode = value.TypeCode();
        auto& typed = static_cast<IParameterValueTemplate<bool>&>(value);
        freshValue = typed.Value();
        if (fill == Fill::AssignBytes) {
            const uint8_t form[8] = {1, 0, 0, 0, byte, 0, 0, 0};
            value.AssignBytes(form, 8);
        } else if (fill == Fill::SetValue) {
            typed.SetValue(answer);
        }
        return IHostResult{fail ? &error : nullptr};
    }
    Fill fill = Fill::Nothing;
    uint8_t byte = 1;
    bool answer = true;
    bool fail = false;
    CountingError error;
    std::string lastKey;
    std::string lastQualifier;
    int calls = 0;
    int32_t freshTypeCode = 0;
    bool freshValue = true;
};

TEST(TriggerParameter, ReadsWhatTheHostFillsEitherWay) {
    ScriptedContext context;
    context.fill = Fill::AssignBytes;
    EXPECT_TRUE(ReadBoolParameter(context, "StartTrigger"));
    EXPECT_EQ(context.lastKey, "StartTrigger");
    EXPECT_EQ(context.lastQualifier, "");
    EXPECT_EQ(context.freshTypeCode, 1);
    EXPECT_FALSE(context.freshValue);

    context.byte = 0;
    EXPECT_FALSE(ReadBoolParameter(context, "StopTrigger"));
    context.byte = 0x80;  // any non-zero byte is true
    EXPECT_TRUE(ReadBoolParameter(context, "TriggerOutputs"));

    context.fill = Fill::SetValue;
    context.answer = true;
    EXPECT_TRUE(ReadBoolParameter(context, "StartTrigger"));
    context.answer = false;
    EXPECT_FALSE(ReadBoolParameter(context, "StartTrigger"));
    EXPECT_EQ(context.calls, 5);
    EXPECT_EQ(context.error.releases, 0);
}

TEST(TriggerParameter, UnfilledReadIsFalseAFilledOneCountsBesideAnErrorAndTheResultIsReleasedOnce) {
    ScriptedContext context;
    context.fill = Fill::Nothing;
    EXPECT_FALSE(ReadBoolParameter(context, "StartTrigger"));

    context.fail = true;
    EXPECT_FALSE(ReadBoolParameter(context, "StartTrigger"));
    EXPECT_EQ(context.error.releases, 1);
    EXPECT_EQ(context.error.unusedCalls, 0);

    // A host that fills the value and still reports an error: the value counts.
    context.fill = Fill::SetValue;
    EXPECT_TRUE(ReadBoolParameter(context, "StartTrigger"));
    EXPECT_EQ(context.error.releases, 2);
}

}  // namespace
