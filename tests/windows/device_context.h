// The context the host gives one accepted device. It answers the trigger
// settings, records the device's pushes, refuses every 25th push (the module
// must release the result and push on), and answers RequestUpdate with a
// per-device answer that AttachContext must pass back.
// [host][acquisition][handoff]: the module calls it from all its threads.
#pragma once

#include "tests/windows/host_error.h"
#include "tests/windows/host_parameters.h"
#include "tests/windows/push_recorder.h"
#include "tests/windows/sdk_interfaces.h"

class DeviceContext final : public ViconDigitalDevice::IDeviceContext {
public:
    static constexpr unsigned kRefuseEveryNthPush = 25;

    // [host] Before the context is handed over.
    void Setup(size_t device, bool updateAnswer, HostParameters& parameters,
               PushRecorder& recorder);

    ViconDigitalDevice::IHostResult GetParameterValue(ViconDigitalDevice::IParameterValue& value,
                                                      const char* key,
                                                      const char* qualifier) override;
    void Unused1() override { __atomic_fetch_add(&unusedCalls_, 1u, __ATOMIC_SEQ_CST); }
    // No entries: the host keeps none for the device.
    uint32_t GetEntryCount() override { return 0; }
    ViconDigitalDevice::IHostResult FillEntries(int32_t* token, void** entries,
                                                int32_t* flag) override;
    ViconDigitalDevice::IHostResult PushSamples(int32_t sessionId, int64_t firstSampleIndex,
                                                int32_t samplesPerFrame,
                                                const int32_t* channelIndices, int32_t channelCount,
                                                const float* values, int32_t valueCount) override;
    bool RequestUpdate() override;

    bool UpdateAnswer() const { return updateAnswer_; }
    unsigned Updates() const { return __atomic_load_n(&updates_, __ATOMIC_SEQ_CST); }
    unsigned UnusedCalls() const { return __atomic_load_n(&unusedCalls_, __ATOMIC_SEQ_CST); }
    const HostError& PushRefusals() const { return pushRefusal_; }

private:
    size_t device_ = 0;
    bool updateAnswer_ = false;
    HostParameters* parameters_ = nullptr;
    PushRecorder* recorder_ = nullptr;
    HostError pushRefusal_{"push refused by the reference host"};
    unsigned pushes_ = 0;       // atomic
    unsigned updates_ = 0;      // atomic
    unsigned unusedCalls_ = 0;  // atomic
};
