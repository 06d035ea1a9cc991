#include "device/trigger_parameter.h"

#include "device/parameter_value_bool.h"

namespace varnix {

bool ReadBoolParameter(ViconDigitalDevice::IDeviceContext& context, const char* key) {
    ViconDigitalDevice::IParameterValueBool value;
    const ViconDigitalDevice::IHostResult result = context.GetParameterValue(value, key, "");
    if (result.error != nullptr) {
        result.error->Release();
    }
    return value.Value();
}

}  // namespace varnix
