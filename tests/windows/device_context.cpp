#include "tests/windows/device_context.h"

using ViconDigitalDevice::IHostResult;
using ViconDigitalDevice::IParameterValue;

void DeviceContext::Setup(size_t device, bool updateAnswer, HostParameters& parameters,
                          PushRecorder& recorder) {
    device_ = device;
    updateAnswer_ = updateAnswer;
    parameters_ = &parameters;
    recorder_ = &recorder;
}

IHostResult DeviceContext::GetParameterValue(IParameterValue& value, const char* key,
                                             const char* qualifier) {
    parameters_->Fill(value, key, qualifier, static_cast<int>(device_));
    return Success();
}

IHostResult DeviceContext::FillEntries(int32_t*, void**, int32_t*) {
    return Success();
}

IHostResult DeviceContext::PushSamples(int32_t sessionId, int64_t firstSampleIndex,
                                       int32_t samplesPerFrame, const int32_t* channelIndices,
                                       int32_t channelCount, const float* values,
                                       int32_t valueCount) {
    recorder_->Record(device_, sessionId, firstSampleIndex, samplesPerFrame, channelIndices,
                      channelCount, values, valueCount);
    const unsigned push = __atomic_fetch_add(&pushes_, 1u, __ATOMIC_SEQ_CST);
    return push % kRefuseEveryNthPush == kRefuseEveryNthPush - 1 ? pushRefusal_.HandOut()
                                                                 : Success();
}

bool DeviceContext::RequestUpdate() {
    __atomic_fetch_add(&updates_, 1u, __ATOMIC_SEQ_CST);
    return updateAnswer_;
}
