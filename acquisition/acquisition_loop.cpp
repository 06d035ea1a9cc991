#include "acquisition/acquisition_loop.h"

#include "acquisition/device_handoffs.h"
#include "acquisition/session_start.h"
#include "acquisition/station_silence.h"
#include "bridge/bridge.h"
#include "device/vdevice.h"
#include "plugin/plugin_state.h"

#include <cstring>

namespace varnix {

namespace {

AcquisitionHooks g_hooks;  // [host] sets while no acquisition thread runs; [acquisition] reads

void RunHook(void (*hook)()) {
    if (hook != nullptr) {
        hook();
    }
}

// Keeps the loop's device list in step with the host's, copying it only when
// the host changed it since the last copy.
class DeviceListFollower {
public:
    explicit DeviceListFollower(DeviceHandoffs& handoffs) : handoffs_(handoffs) {}

    void Refresh() {
        PluginState& state = State();
        DeviceList fresh;
        {
            std::lock_guard<std::mutex> lock(state.deviceListMutex);
            if (copied_ && state.deviceListVersion == version_) {
                return;
            }
            fresh = state.devices;
            version_ = state.deviceListVersion;
        }
        copied_ = true;
        handoffs_.Update(std::move(fresh));  // outside the lock: it starts and joins threads
    }

private:
    DeviceHandoffs& handoffs_;
    uint64_t        version_ = 0;
    bool            copied_ = false;
};

// Polls and hands off until the station has no frame waiting or the cycle
// took its share. The station's array is read only until the next poll, so
// each frame is copied out to every device before the next poll.
void TakeWaitingFrames(AcquisitionSignal& signal, VarnixFrameBuf& frame, DeviceHandoffs& handoffs,
                       StationSilenceWatch& silence) {
    for (int taken = 0; taken < kMaxFramesPerCycle && signal.Running(); ++taken) {
        if (!varnix_pollData(frame) || frame.samples == nullptr) {
            silence.NoFrame(std::chrono::steady_clock::now());
            return;
        }
        silence.Frame(std::chrono::steady_clock::now());
        handoffs.HandOff(frame.samples);
    }
}

}  // namespace

void RunAcquisitionLoop(AcquisitionSignal& signal) {
    VarnixFrameBuf frame;
    std::memset(&frame, 0, sizeof frame);
    DeviceHandoffs handoffs;  // its threads are joined on every way out
    DeviceListFollower follower(handoffs);
    StationSilenceWatch silence;
    const AcquisitionHooks hooks = g_hooks;
    while (signal.Running()) {
        follower.Refresh();
        RunHook(hooks.afterListCopy);
        const DeviceList& devices = handoffs.Devices();
        if (!devices.empty() && devices.front()->ConfigureRequested()) {
            // The copy above may predate the end of an instantiation (this
            // thread can be held up between the copy and the check); once the
            // first device asks for a session, the host has registered them
            // all, so copy again or the devices added meanwhile never get ready.
            follower.Refresh();
            silence.SessionStarted(StartSession(handoffs.Devices()).stopInput);
        }
        TakeWaitingFrames(signal, frame, handoffs, silence);
        RunHook(hooks.beforePause);
        signal.PauseUntil(std::chrono::steady_clock::now() + kPollPause);
    }
}

void SetAcquisitionHooks(const AcquisitionHooks& hooks) {
    g_hooks = hooks;
}

}  // namespace varnix
