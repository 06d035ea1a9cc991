// vDevice: the plug-in's device object, one per instantiated sensor.
//
// Towards the host it is an IDevice: the host attaches its context, declares
// sessions, opens and closes them and reads the status. Towards acquisition
// it is the destination of every polled frame: its geometry says which slice
// of a frame is its own, its sample buffer holds that slice while the host
// reads it, and its gate keeps at most one hand-off in flight.
//
// Sharing: every field that more than one kind of thread touches is atomic,
// except the slice buffer handed from the acquisition thread to the hand-off
// (`filledBuffer_`), which the gate orders: the acquisition thread writes it
// only while it holds the gate, and the hand-off reads it before it gives the
// gate back. No lock is held while the host is called. No exception leaves a
// host-facing operation.
//
// Ownership: devices are owned through boost::shared_ptr (the plug-in's
// device list, the acquisition thread's copy of it, and the device's
// hand-off thread). The host holds a plain pointer, lent for as long as the plug-in
// keeps the device.
#pragma once

#include "device/handoff_gate.h"
#include "host/host_interfaces.h"

#include <boost/core/noncopyable.hpp>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace varnix {

class vDevice final : public ViconDigitalDevice::IDevice, private boost::noncopyable {
public:
    // [host] `services` is borrowed for the device's life (may be null: then
    // nothing is logged and the host's timebase and start code read 0).
    // Allocates the first sample buffer of `valuesPerFrame` values; a negative
    // count throws std::bad_alloc.
    vDevice(ViconDigitalDevice::IHostServices* services, double sampleRate, int32_t samplesPerFrame,
            int32_t valuesPerFrame, int32_t frameOffset, int32_t channelCount,
            std::vector<int32_t> channelIndices);
    // Destroyed by its last owner, never through IDevice: on Linux the
    // interface's destructor is virtual, on Windows it is protected (the
    // host's slot 0 destroys nothing, see host/host_interfaces.h).
    ~vDevice();

    // ---- IDevice, in slot order. [host] Each may block for as long as the
    // host's own operations it calls; none takes a lock across a host call.

    // Keeps `context` (borrowed until the device dies), asks for a session
    // declaration and returns RequestUpdate's answer; false for a null context.
    bool AttachContext(ViconDigitalDevice::IDeviceContext* context) override;
    // Asks the host for its entries; a reported change with no first entry
    // asks for a new session declaration.
    void RefreshEntries() override;
    // Declares period, value count and, when "StartTrigger" is on, the
    // "Start" signal; publishes a new sample buffer; sets the configure
    // request. Always returns true. Allocates the new buffer.
    bool DeclareSession(int32_t sessionId,
                        ViconDigitalDevice::ISessionDeclaration* declaration) override;
    // Both restart the sample numbering at 0.
    void SessionOpened() override;
    void SoftwareStartTrigger() override;
    // Nothing to do: every frame the station delivers is pushed whatever the
    // host's session state, and nothing of the device depends on it.
    void SessionClosed() override;
    void GetStatus(int32_t* readyState, bool* redeclareRequested) override;

    // ---- Acquisition side.

    // [acquisition] The first device's request for a session start, and its
    // consumption by the session start. Lock-free.
    bool ConfigureRequested() const { return configureRequested_.load(); }
    void ClearConfigureRequest() { configureRequested_.store(false); }
    // [acquisition] 0 not ready, 1 ready; the host reads it through GetStatus.
    void SetReadyState(int32_t state) { readyState_.store(state); }
    // [host][acquisition][handoff] The attached context, or null.
    ViconDigitalDevice::IDeviceContext* Context() const { return context_.load(); }
    // [acquisition][handoff] The device's gate.
    HandoffGate& Gate() { return gate_; }

    // [acquisition] With the gate taken: copies this device's slice out of a
    // polled frame into the current sample buffer, which becomes the one the
    // next DeliverFrame pushes. `frame` is the station's array, read only
    // for this call. One block copy; does not allocate or lock.
    void LoadSlice(const float* frame);

    // [handoff] Pushes the loaded slice to the host, advances the sample
    // index and gives the gate back. Without a context nothing is pushed and
    // the index stays where it is; the gate is given back all the same.
    // Never throws; blocks for as long as the host's PushSamples.
    void DeliverFrame() noexcept;

    // [any] Geometry, fixed at construction.
    int32_t SamplesPerFrame() const { return samplesPerFrame_; }
    int32_t ValuesPerFrame() const { return valuesPerFrame_; }
    int32_t FrameOffset() const { return frameOffset_; }
    int32_t ChannelCount() const { return channelCount_; }
    double SampleRate() const { return sampleRate_; }
    const std::vector<int32_t>& ChannelIndices() const { return channelIndices_; }
    // [any] First-sample index of the next push; counts samples per stream.
    int64_t NextSampleIndex() const { return nextSampleIndex_.load(); }

private:
    // [host] Allocates a buffer of valuesPerFrame_ values, keeps it until
    // the device dies and makes it current. Throws std::bad_alloc.
    void PublishNewSampleBuffer();
    void Trace(const char* text) const;

    void DeclareSessionSteps(int32_t sessionId,
                             ViconDigitalDevice::ISessionDeclaration* declaration);
    void RefreshEntrySteps();

    std::atomic<ViconDigitalDevice::IDeviceContext*> context_{nullptr};  // [host] sets; all read
    std::atomic<int32_t> sessionId_{0};  // [host] writes, [handoff] reads
    const int32_t samplesPerFrame_;
    const int32_t valuesPerFrame_;
    const int32_t frameOffset_;
    const int32_t channelCount_;
    const std::vector<int32_t> channelIndices_;  // lent to the host with every push
    // [host] resets to 0, [handoff] advances with compare-exchange so that a
    // reset during a push wins. 64-bit inside: it does not wrap.
    std::atomic<int64_t> nextSampleIndex_{0};
    std::atomic<bool> configureRequested_{false};  // [host] sets, [acquisition] clears
    // [host] publishes a new buffer, [acquisition] copies into the current one.
    std::atomic<float*> sampleBuffer_{nullptr};
    // [acquisition] writes, [handoff] reads; ordered by the gate (see top).
    const float* filledBuffer_ = nullptr;
    HandoffGate gate_;
    std::atomic<int32_t> readyState_{0};  // [host][acquisition] write, [host] reads
    ViconDigitalDevice::IHostServices* const services_;
    int32_t entryToken_ = 0;                       // [host] only, lent to FillEntries
    std::atomic<bool> redeclareRequested_{false};  // [host] only; atomic for sibling host threads
    const double sampleRate_;

    // [host] Every buffer the device allocated; the ones replaced stay until
    // the device dies, since a copy or a push may still be using them.
    std::mutex buffersMutex_;
    std::vector<std::unique_ptr<float[]>> buffers_;
};

}  // namespace varnix
