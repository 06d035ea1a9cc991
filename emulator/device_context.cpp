#include "emulator/device_context.h"

#include "emulator/host_operations.h"
#include "emulator/thread_identity.h"

#include <chrono>
#include <exception>
#include <thread>
#include <utility>

namespace varnix::emulator {

namespace {

// A host-side object whose address FillEntries may hand out as an entry.
int gFilledEntry = 0;

}  // namespace

HostDeviceContext::HostDeviceContext(HostCore& core, size_t index, std::string name,
                                     std::optional<DeviceDefinition> definition)
    : core_(core), index_(index), name_(std::move(name)), definition_(std::move(definition)) {
    if (!definition_) return;
    for (const ParameterDefinition& parameter : definition_->parameters) {
        parameters_[parameter.key] = parameter.defaultValue;
    }
}

ViconDigitalDevice::IHostResult HostDeviceContext::GetParameterValue(
    ViconDigitalDevice::IParameterValue& value, const char* key, const char* qualifier) {
    auto result = core_.Enter(op::kGetParameterValue,
                              name_ + "," + Quoted(key) + "," + Quoted(qualifier), name_);
    if (result.error != nullptr) return result;
    const std::optional<BoolValueState> stored = key != nullptr ? Parameter(key) : std::nullopt;
    if (!stored) {
        return core_.errors.Issue("device " + name_ + " has no parameter " + Quoted(key),
                                  op::kGetParameterValue);
    }
    if (value.TypeCode() != stored->typeCode) {
        return core_.errors.Issue("parameter " + Quoted(key) +
                                      " is boolean; the value object has type " +
                                      std::to_string(value.TypeCode()),
                                  op::kGetParameterValue);
    }
    if (core_.settings.fill.load() == ParameterFill::kSetValue) {
        static_cast<ViconDigitalDevice::IParameterValueTemplate<bool>&>(value).SetValue(
            stored->value);
        return result;
    }
    const auto bytes = ToBytes(*stored);
    if (!value.AssignBytes(bytes.data(), static_cast<uint32_t>(bytes.size()))) {
        core_.monitor.Report(
            "parameter-bytes",
            "the plug-in's boolean value refused the 8-byte form of " + Quoted(key),
            "a boolean value accepts its kind's 8-byte form");
    }
    return result;
}

void HostDeviceContext::Unused1() {
    core_.log.Append("Unused1", name_);
    core_.monitor.Report("unused-slot", "IDeviceContext slot 1 called by device " + name_,
                         "slot 1 is never called");
}

uint32_t HostDeviceContext::GetEntryCount() {
    core_.Enter("GetEntryCount", name_, name_, true, false);
    return core_.settings.entryCount.load();
}

ViconDigitalDevice::IHostResult HostDeviceContext::FillEntries(int32_t* token, void** entries,
                                                               int32_t* flag) {
    auto result = core_.Enter(op::kFillEntries,
                              name_ + "," + (token ? std::to_string(*token) : "(null)") + "," +
                                  (entries ? "entries" : "(null)") + "," +
                                  (flag ? std::to_string(*flag) : "(null)"),
                              name_);
    if (result.error != nullptr) return result;
    if (flag != nullptr) *flag = core_.settings.fillEntriesFlag.load();
    if (entries != nullptr && core_.settings.entryCount.load() > 0 &&
        core_.settings.fillFirstEntry.load()) {
        entries[0] = &gFilledEntry;
    }
    return result;
}

ViconDigitalDevice::IHostResult HostDeviceContext::PushSamples(
    int32_t sessionId, int64_t firstSampleIndex, int32_t samplesPerFrame,
    const int32_t* channelIndices, int32_t channelCount, const float* values, int32_t valueCount) {
    PushRecord push;
    push.timeNs = MonotonicNowNs();
    if (pushesInFlight_.fetch_add(1) != 0) {
        core_.monitor.Report(
            "concurrent-push",
            "device " + name_ + " pushed while another push of it was still in the host",
            "one PushSamples at a time per device");
    }
    struct InFlight {
        std::atomic<int>& count;
        ~InFlight() { count.fetch_sub(1); }
    } inFlight{pushesInFlight_};

    push.device = index_;
    push.deviceName = name_;
    push.pushNumber = pushCount_.fetch_add(1);
    push.sessionId = sessionId;
    push.firstSampleIndex = firstSampleIndex;
    push.samplesPerFrame = samplesPerFrame;
    push.channelCount = channelCount;
    push.valueCount = valueCount;
    push.thread = CurrentThreadId();
    const bool keep = core_.settings.keepPushRecords.load();
    if (keep && channelIndices != nullptr && channelCount > 0) {
        push.channelIndices.assign(channelIndices, channelIndices + channelCount);
    }
    if (keep && values != nullptr && valueCount > 0 && core_.settings.keepPushValues.load()) {
        push.values.assign(values, values + valueCount);
    }
    const bool record = core_.settings.logPushes.load();
    auto result = core_.Enter(
        op::kPushSamples,
        record ? name_ + "," + std::to_string(sessionId) + "," + std::to_string(firstSampleIndex) +
                     "," + std::to_string(samplesPerFrame) + "," + std::to_string(channelCount) +
                     "," + std::to_string(valueCount)
               : std::string(),
        name_, record, true, &push.sequence);
    CheckPush(push, channelIndices, values);

    const std::string refusal = RunPushHook(push, channelIndices, values);
    if (!refusal.empty() && result.error == nullptr)
        result = core_.errors.Issue(refusal, op::kPushSamples);
    if (keep) {
        std::lock_guard<std::mutex> lock(mutex_);
        pushes_.push_back(std::move(push));
    }
    const int64_t holdMs = core_.faults.PushHoldMs(name_);
    if (holdMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(holdMs));
    return result;
}

std::string HostDeviceContext::RunPushHook(const PushRecord& push, const int32_t* channelIndices,
                                           const float* values) {
    const auto hook = core_.faults.CurrentPushHook();
    if (!hook) return "";
    PushView view{index_,
                  name_.c_str(),
                  push.pushNumber,
                  push.sessionId,
                  push.firstSampleIndex,
                  push.samplesPerFrame,
                  channelIndices,
                  push.channelCount,
                  values,
                  push.valueCount,
                  push.timeNs};
    // Nothing the host's own code throws may unwind into the plug-in.
    try {
        return (*hook)(view) ? "" : "PushSamples refused by the push hook";
    } catch (const std::exception& error) {
        return std::string("the host's push hook failed: ") + error.what();
    } catch (...) {
        return "the host's push hook failed";
    }
}

std::string HostDeviceContext::Where(const PushRecord& push) const {
    return "device " + name_ + " push #" + std::to_string(push.pushNumber) + " (session " +
           std::to_string(push.sessionId) + ", first sample " +
           std::to_string(push.firstSampleIndex) + ")";
}

void HostDeviceContext::CheckPush(const PushRecord& push, const int32_t* channelIndices,
                                  const float* values) {
    if ((push.valueCount > 0 && values == nullptr) ||
        (push.channelCount > 0 && channelIndices == nullptr)) {
        core_.monitor.Report("null-pointer",
                             Where(push) + " lent a null array with a positive count",
                             "values and channel indices point at their counts of elements");
    }
    if (push.valueCount < 0 || push.channelCount < 0 || push.samplesPerFrame < 0) {
        core_.monitor.Report("negative-count", Where(push) + " carries a negative count",
                             "counts of zero or more");
    }
    CheckSession(push);
    CheckAgainstDefinition(push);
}

void HostDeviceContext::CheckSession(const PushRecord& push) {
    std::optional<int32_t> declaredCount;
    bool declared = false;
    std::string declaredIds;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const DeclaredSession& session : declarations_) {
            declaredIds += (declaredIds.empty() ? "" : ", ") + std::to_string(session.sessionId);
            if (session.sessionId != push.sessionId) continue;
            declared = true;
            if (session.valueCount) declaredCount = session.valueCount;
        }
    }
    if (!declared) {
        core_.monitor.Report("undeclared-session",
                             Where(push) + ": session id " + std::to_string(push.sessionId) +
                                 " was never declared to this device",
                             declaredIds.empty()
                                 ? std::string("no push before the device's first DeclareSession")
                                 : "a declared session id (" + declaredIds + ")");
    }
    if (declaredCount && *declaredCount != push.valueCount) {
        core_.monitor.Report(
            "value-count", Where(push) + " carries " + std::to_string(push.valueCount) + " values",
            "the " + std::to_string(*declaredCount) + " declared with SetValueCount");
    }
}

void HostDeviceContext::CheckAgainstDefinition(const PushRecord& push) {
    if (!definition_) {
        if (!reportedMissingDefinition_.exchange(true)) {
            core_.monitor.Report(
                "no-definition",
                "device " + name_ + " pushes but no committed definition has its name",
                "RegisterDevice names a device published by ProvideDeviceDefinitions");
        }
        return;
    }
    const int64_t components = static_cast<int64_t>(definition_->ComponentCount());
    if (components * push.samplesPerFrame != push.valueCount) {
        core_.monitor.Report(
            "value-count",
            Where(push) + " carries " + std::to_string(push.valueCount) + " values with " +
                std::to_string(push.samplesPerFrame) + " samples per frame",
            std::to_string(components) + " components x " + std::to_string(push.samplesPerFrame) +
                " samples per frame = " + std::to_string(components * push.samplesPerFrame));
    }
    if (static_cast<size_t>(push.channelCount) != definition_->outputs.size() &&
        push.channelCount >= 0) {
        core_.monitor.Report(
            "channel-count",
            Where(push) + " names " + std::to_string(push.channelCount) + " channels",
            std::to_string(definition_->outputs.size()) + " outputs in the definition");
    }
}

bool HostDeviceContext::RequestUpdate() {
    core_.Enter("RequestUpdate", name_, name_, true, false);
    return core_.settings.requestUpdateAnswer.load();
}

void HostDeviceContext::BeginDeclaration(int32_t sessionId) {
    std::lock_guard<std::mutex> lock(mutex_);
    declarations_.push_back(DeclaredSession{sessionId, {}, {}, {}, {}});
}

namespace {

DeclaredSession* Latest(std::vector<DeclaredSession>& declarations, int32_t sessionId) {
    for (auto it = declarations.rbegin(); it != declarations.rend(); ++it) {
        if (it->sessionId == sessionId) return &*it;
    }
    return nullptr;
}

}  // namespace

void HostDeviceContext::RecordPeriod(int32_t sessionId, int64_t period) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (auto* session = Latest(declarations_, sessionId)) session->period = period;
}

void HostDeviceContext::RecordSignal(int32_t sessionId, DeclaredSignal signal) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (auto* session = Latest(declarations_, sessionId))
        session->signals.push_back(std::move(signal));
}

void HostDeviceContext::RecordOption(int32_t sessionId, int32_t option) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (auto* session = Latest(declarations_, sessionId)) session->option = option;
}

void HostDeviceContext::RecordValueCount(int32_t sessionId, int32_t count) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (auto* session = Latest(declarations_, sessionId)) session->valueCount = count;
}

std::vector<DeclaredSession> HostDeviceContext::Declarations() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return declarations_;
}

void HostDeviceContext::SetParameter(const std::string& key, bool value) {
    std::lock_guard<std::mutex> lock(mutex_);
    parameters_[key].value = value;
}

std::optional<BoolValueState> HostDeviceContext::Parameter(const std::string& key) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = parameters_.find(key);
    if (found == parameters_.end()) return std::nullopt;
    return found->second;
}

std::vector<PushRecord> HostDeviceContext::Pushes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return pushes_;
}

}  // namespace varnix::emulator
