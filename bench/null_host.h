// Host objects that do no work, for benchmarks that want the plug-in's own
// cost alone. The context can note the time of every push into storage
// reserved up front, so noting allocates nothing.
#pragma once

#include "acquisition/acquisition_context.h"
#include "bench/process_probe.h"
#include "host/host_interfaces.h"
#include "tests/support/host_doubles.h"

#include <atomic>
#include <cstdint>
#include <vector>

namespace varnix::bench {

// A device context that accepts everything. [handoff] PushSamples notes the
// push time in the slot of its push number while slots remain; [host]
// [acquisition] the other operations answer success and leave parameters at
// their defaults (every trigger reads false).
class NullContext final : public host_doubles::ContextBase {
public:
    // [host] Reserves room for the times of `capacity` pushes (0: count only).
    explicit NullContext(size_t capacity = 0) : pushTimesNs_(capacity, 0) {}

    ViconDigitalDevice::IHostResult FillEntries(int32_t*, void**, int32_t* flag) override {
        if (flag != nullptr) *flag = 0;
        return {nullptr};
    }
    // One push at a time per device (the plug-in's gate), so the count is
    // only ever advanced by one thread at once; atomic for the readers.
    ViconDigitalDevice::IHostResult PushSamples(int32_t, int64_t, int32_t, const int32_t*, int32_t,
                                                const float*, int32_t) override {
        const uint64_t number = pushes_.load(std::memory_order_relaxed);
        if (number < pushTimesNs_.size()) pushTimesNs_[number] = MonotonicNs();
        pushes_.store(number + 1, std::memory_order_release);
        return {nullptr};
    }

    // [any] Pushes taken so far.
    uint64_t Pushes() const { return pushes_.load(std::memory_order_acquire); }
    // Push times, valid for push numbers below min(Pushes(), capacity) once
    // the pushes are over.
    const std::vector<int64_t>& PushTimesNs() const { return pushTimesNs_; }

private:
    std::atomic<uint64_t> pushes_{0};
    std::vector<int64_t> pushTimesNs_;
};

// A session declaration that accepts everything. [host], lent for one call.
class NullDeclaration final : public host_doubles::DeclarationBase {};

// What acquisition asks of a plug-in, for benchmarks that drive its pieces
// directly: no list of its own, and nobody to tell.
class NullAcquisitionContext final : public varnix::AcquisitionContext {
public:
    bool CopyDevicesIfChanged(uint64_t&, varnix::DeviceList&) override { return false; }
    uint64_t DeviceListVersion() const override { return 0; }
    size_t CatalogueSensorCount() const override { return 0; }
    int32_t FrameMultiple() const override { return 1; }
    ViconDigitalDevice::IHostServices* Services() const override { return nullptr; }
};

}  // namespace varnix::bench
