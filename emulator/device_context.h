// The host's IDeviceContext, one per registered device: the device's view of
// the host while it lives. Holds the device's parameter store, its declared
// sessions and the record of its pushes, and checks every push.
#pragma once

#include "emulator/host_bool_value.h"
#include "emulator/host_core.h"
#include "emulator/published_devices.h"
#include "emulator/push_record.h"
#include "host/host_interfaces.h"

#include <atomic>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace varnix::emulator {

struct DeclaredSignal {
    std::string name;
    int32_t value1 = 0, value2 = 0, value3 = 0, value4 = 0;
    bool flag = false;
};

// What one DeclareSession told the host.
struct DeclaredSession {
    int32_t sessionId = 0;
    std::optional<int64_t> period;
    std::optional<int32_t> valueCount;
    std::optional<int32_t> option;
    std::vector<DeclaredSignal> signals;
};

// Owned by the TestHost for its whole life; the device keeps a plain pointer
// from AttachContext on. [host][acquisition][handoff] as tagged per operation.
class HostDeviceContext final : public ViconDigitalDevice::IDeviceContext {
public:
    // `definition` is null when no committed definition carries the device's name.
    HostDeviceContext(HostCore& core, size_t index, std::string name,
                      std::optional<DeviceDefinition> definition);

    // [host][acquisition] Fills `value` from the store; an unknown key fails.
    ViconDigitalDevice::IHostResult GetParameterValue(ViconDigitalDevice::IParameterValue& value,
                                                      const char* key,
                                                      const char* qualifier) override;
    void Unused1() override;
    // [host]
    uint32_t GetEntryCount() override;
    // [host]
    ViconDigitalDevice::IHostResult FillEntries(int32_t* token, void** entries,
                                                int32_t* flag) override;
    // [handoff] Records and checks the push, runs the hook, holds if asked.
    // Pointers are read during the call only. Allocates; may sleep.
    ViconDigitalDevice::IHostResult PushSamples(int32_t sessionId, int64_t firstSampleIndex,
                                                int32_t samplesPerFrame,
                                                const int32_t* channelIndices, int32_t channelCount,
                                                const float* values, int32_t valueCount) override;
    // [host][acquisition]
    bool RequestUpdate() override;

    // ---- the host's side ---------------------------------------------------
    const std::string& Name() const { return name_; }
    const std::optional<DeviceDefinition>& Definition() const { return definition_; }

    // [host] A session id the host is about to declare to this device; from
    // now on pushes may carry it. Returns the slot the declaration fills.
    void BeginDeclaration(int32_t sessionId);
    // [host] Called by the session declaration while it is lent.
    void RecordPeriod(int32_t sessionId, int64_t period);
    void RecordSignal(int32_t sessionId, DeclaredSignal signal);
    void RecordOption(int32_t sessionId, int32_t option);
    void RecordValueCount(int32_t sessionId, int32_t count);
    std::vector<DeclaredSession> Declarations() const;

    // [any thread] The host's value of a parameter (seeded from the definition).
    void SetParameter(const std::string& key, bool value);
    std::optional<BoolValueState> Parameter(const std::string& key) const;

    // The kept push records (none while HostSettings::keepPushRecords is off).
    std::vector<PushRecord> Pushes() const;
    uint64_t PushCount() const { return pushCount_.load(); }

private:
    void CheckPush(const PushRecord& push, const int32_t* channelIndices, const float* values);
    void CheckSession(const PushRecord& push);            // declared, with its value count
    void CheckAgainstDefinition(const PushRecord& push);  // counts as the definition says
    // [handoff] Hands the push to the host's hook, if one is set; "" when it
    // took the push, else why the push fails (the hook refused it or threw).
    std::string RunPushHook(const PushRecord& push, const int32_t* channelIndices,
                            const float* values);
    std::string Where(const PushRecord& push) const;

    HostCore& core_;
    const size_t index_;  // set at registration, read by every thread
    const std::string name_;
    const std::optional<DeviceDefinition> definition_;
    std::atomic<int> pushesInFlight_{0};                  // [handoff] in and out of PushSamples
    std::atomic<uint64_t> pushCount_{0};                  // [handoff] counts, [host] reads
    std::atomic<bool> reportedMissingDefinition_{false};  // [handoff]

    // [host] declares and sets parameters, [acquisition] reads parameters,
    // [handoff] records pushes; never held while the plug-in is called.
    mutable std::mutex mutex_;  // guards everything below
    std::map<std::string, BoolValueState> parameters_;
    std::vector<DeclaredSession> declarations_;
    std::vector<PushRecord> pushes_;
};

}  // namespace varnix::emulator
