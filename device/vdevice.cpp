#include "device/vdevice.h"

#include "device/host_result.h"
#include "device/sample_period.h"
#include "device/trigger_parameter.h"
#include "host/host_boundary.h"

#include <cstddef>
#include <cstring>
#include <new>
#include <string>
#include <utility>

using ViconDigitalDevice::IDeviceContext;
using ViconDigitalDevice::IHostServices;
using ViconDigitalDevice::ISessionDeclaration;

namespace varnix {

namespace {

// The "Start" signal a session declares when the host's start input is on:
// name, then 1, the host's start code, 0, 0 and true.
constexpr const char* kStartSignalName = "Start";

// A negative count, or a byte size past what operator new can take, is an
// allocation failure rather than a wrapped size.
std::unique_ptr<float[]> AllocateSampleBuffer(int32_t values) {
    if (values < 0) {
        throw std::bad_alloc();
    }
    return std::unique_ptr<float[]>(new float[static_cast<size_t>(values)]);
}

}  // namespace

vDevice::vDevice(IHostServices* services, double sampleRate, int32_t samplesPerFrame,
                 int32_t valuesPerFrame, int32_t frameOffset, int32_t channelCount,
                 std::vector<int32_t> channelIndices)
    : samplesPerFrame_(samplesPerFrame),
      valuesPerFrame_(valuesPerFrame),
      frameOffset_(frameOffset),
      channelCount_(channelCount),
      channelIndices_(std::move(channelIndices)),
      services_(services),
      sampleRate_(sampleRate) {
    PublishNewSampleBuffer();
}

vDevice::~vDevice() = default;

void vDevice::PublishNewSampleBuffer() {
    std::unique_ptr<float[]> buffer = AllocateSampleBuffer(valuesPerFrame_);
    float* current = buffer.get();
    {
        std::lock_guard<std::mutex> lock(buffersMutex_);
        buffers_.push_back(std::move(buffer));
    }
    sampleBuffer_.store(current);
}

void vDevice::Trace(const char* text) const {
    if (kDeviceTrace && services_ != nullptr) {
        services_->Log(text, kLogInfo);
    }
}

bool vDevice::AttachContext(IDeviceContext* context) {
    return GuardBoundary(services_, "vDevice::AttachContext", false, [&] {
        context_.store(context);
        redeclareRequested_.store(true);
        return context != nullptr ? context->RequestUpdate() : false;
    });
}

void vDevice::RefreshEntries() {
    GuardBoundary(services_, "vDevice::RefreshEntries", [&] { RefreshEntrySteps(); });
}

void vDevice::RefreshEntrySteps() {
    IDeviceContext* context = context_.load();
    if (context == nullptr) {
        return;
    }
    const uint32_t entryCount = context->GetEntryCount();
    std::vector<void*> entries(entryCount, nullptr);
    int32_t flag = 0;
    ReleaseResult(
        context->FillEntries(&entryToken_, entries.empty() ? nullptr : entries.data(), &flag));
    // A change with no entries at all reads like a change with an empty
    // first entry: either way the host has nothing for us and must declare
    // the session again.
    const bool firstEntryEmpty = entries.empty() || entries.front() == nullptr;
    if (flag != 0 && firstEntryEmpty) {
        redeclareRequested_.store(true);
        context->RequestUpdate();
    }
}

bool vDevice::DeclareSession(int32_t sessionId, ISessionDeclaration* declaration) {
    GuardBoundary(services_, "vDevice::DeclareSession",
                  [&] { DeclareSessionSteps(sessionId, declaration); });
    return true;
}

void vDevice::DeclareSessionSteps(int32_t sessionId, ISessionDeclaration* declaration) {
    Trace("Top of Declare Session");
    sessionId_.store(sessionId);
    redeclareRequested_.store(false);
    readyState_.store(0);

    const uint32_t timebase = services_ != nullptr ? services_->GetTimebase() : 0;
    bool representable = false;
    const int64_t period = SamplePeriod(timebase, sampleRate_, representable);
    if (!representable && services_ != nullptr) {
        const std::string line = "Sample rate " + std::to_string(sampleRate_) + " with timebase " +
                                 std::to_string(timebase) +
                                 " gives no representable sample period; declared period 0. "
                                 "Check the station's rate for this sensor.";
        services_->Log(line.c_str(), kLogError);
    }
    if (declaration != nullptr) {
        ReleaseResult(declaration->SetPeriod(period));
        ReleaseResult(declaration->SetValueCount(valuesPerFrame_));
        declaration->SetOption(0);
    }

    PublishNewSampleBuffer();
    const int32_t startCode = services_ != nullptr ? services_->GetStartCode() : 0;
    configureRequested_.store(true);

    IDeviceContext* context = context_.load();
    if (context != nullptr && declaration != nullptr && context->GetEntryCount() != 0 &&
        ReadBoolParameter(*context, kStartTriggerKey)) {
        ReleaseResult(declaration->DeclareSignal(kStartSignalName, 1, startCode, 0, 0, true));
    }
    Trace("End of Declare Session");
}

void vDevice::SessionOpened() {
    GuardBoundary(services_, "vDevice::SessionOpened", [&] {
        Trace("Session Opened");
        nextSampleIndex_.store(0);
    });
}

void vDevice::SoftwareStartTrigger() {
    GuardBoundary(services_, "vDevice::SoftwareStartTrigger", [&] {
        Trace("Software Start Trigger Called");
        nextSampleIndex_.store(0);
    });
}

void vDevice::SessionClosed() {}

void vDevice::GetStatus(int32_t* readyState, bool* redeclareRequested) {
    if (readyState != nullptr) {
        *readyState = readyState_.load();
    }
    if (redeclareRequested != nullptr) {
        *redeclareRequested = redeclareRequested_.load();
    }
}

void vDevice::LoadSlice(const float* frame) {
    float* buffer = sampleBuffer_.load();
    if (valuesPerFrame_ > 0) {
        std::memcpy(buffer, frame + static_cast<ptrdiff_t>(frameOffset_),
                    static_cast<size_t>(valuesPerFrame_) * sizeof(float));
    }
    filledBuffer_ = buffer;
}

void vDevice::DeliverFrame() noexcept {
    GuardBoundary(services_, "vDevice::DeliverFrame", [&] {
        IDeviceContext* context = context_.load();
        if (context != nullptr) {
            int64_t first = nextSampleIndex_.load();
            ReleaseResult(context->PushSamples(sessionId_.load(), first, samplesPerFrame_,
                                               channelIndices_.data(), channelCount_, filledBuffer_,
                                               valuesPerFrame_));
            // A reset by SessionOpened or SoftwareStartTrigger while the host
            // held the push wins: the index is advanced only from the value
            // this push carried.
            nextSampleIndex_.compare_exchange_strong(first, first + samplesPerFrame_);
        }
    });
    GuardBoundary(services_, "vDevice::DeliverFrame (gate)", [&] { gate_.ReleaseGate(); });
}

}  // namespace varnix
