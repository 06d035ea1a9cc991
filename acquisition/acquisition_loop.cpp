#include "acquisition/acquisition_loop.h"

#include "acquisition/device_handoffs.h"
#include "acquisition/session_start.h"
#include "acquisition/station_silence.h"
#include "bridge/bridge.h"
#include "device/vdevice.h"

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
    DeviceListFollower(AcquisitionContext& context, DeviceHandoffs& handoffs)
        : context_(context), handoffs_(handoffs) {}

    void Refresh() {
        DeviceList fresh;
        if (context_.CopyDevicesIfChanged(version_, fresh)) {
            handoffs_.Update(
                std::move(fresh));  // outside the list's lock: starts and joins threads
        }
    }

private:
    AcquisitionContext& context_;
    DeviceHandoffs& handoffs_;
    uint64_t version_ = 0;  // of the copy the loop works from; 0: none yet
};

// Polls and hands off until the station has no frame waiting or the cycle
// took its share. The station's array is read only until the next poll, so
// each frame is copied out to every device before the next poll.
void TakeWaitingFrames(AcquisitionSignal& signal, VarnixFrameBuf& frame, DeviceHandoffs& handoffs,
                       StationSilenceWatch& silence) {
    for (int taken = 0; taken < kMaxFramesPerCycle && signal.Running(); ++taken) {
        if (!varnix_pollData(frame) || frame.samples == nullptr) {
            silence.NoFrame(AcquisitionSignal::Clock::now());
            return;
        }
        silence.Frame(AcquisitionSignal::Clock::now());
        handoffs.HandOff(frame.samples);
    }
}

}  // namespace

void RunAcquisitionLoop(AcquisitionSignal& signal, AcquisitionContext& context) {
    VarnixFrameBuf frame;
    std::memset(&frame, 0, sizeof frame);
    DeviceHandoffs handoffs(context);  // its threads are joined on every way out
    DeviceListFollower follower(context, handoffs);
    StationSilenceWatch silence(context);
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
            silence.SessionStarted(StartSession(handoffs.Devices(), context).stopInput);
        }
        TakeWaitingFrames(signal, frame, handoffs, silence);
        RunHook(hooks.beforePause);
        signal.PauseUntil(AcquisitionSignal::Clock::now() + kPollPause);
    }
}

void SetAcquisitionHooks(const AcquisitionHooks& hooks) {
    g_hooks = hooks;
}

}  // namespace varnix
