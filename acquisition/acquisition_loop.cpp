#include "acquisition/acquisition_loop.h"

#include "acquisition/device_handoffs.h"
#include "acquisition/session_start.h"
#include "acquisition/station_silence.h"
#include "bridge/bridge.h"
#include "catalogue/frame_geometry.h"
#include "device/vdevice.h"

#include <cmath>
#include <cstring>

namespace varnix {

namespace {

AcquisitionHooks g_hooks;  // [host] sets while no acquisition thread runs; [acquisition] reads

void RunHook(void (*hook)()) {
    if (hook != nullptr) {
        hook();
    }
}

// The plug-in's own: the monotonic clock, the bridge, the stop signal.
class StationEnvironment final : public LoopEnvironment {
public:
    explicit StationEnvironment(AcquisitionSignal& signal) : signal_(signal) {}
    Clock::time_point Now() override { return Clock::now(); }
    bool Poll(VarnixFrameBuf& frame) override { return varnix_pollData(frame); }
    bool PauseUntil(Clock::time_point deadline) override { return signal_.PauseUntil(deadline); }

private:
    AcquisitionSignal& signal_;
};

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

    // One atomic load while the list stands still.
    void RefreshIfMoved() {
        if (context_.DeviceListVersion() != version_) {
            Refresh();
        }
    }

private:
    AcquisitionContext& context_;
    DeviceHandoffs& handoffs_;
    uint64_t version_ = 0;  // of the copy the loop works from; 0: none yet
};

// What one cycle works with.
struct Cycle {
    AcquisitionSignal& signal;
    LoopEnvironment& environment;
    VarnixFrameBuf& frame;
    DeviceHandoffs& handoffs;
    DeviceListFollower& follower;
    StationSilenceWatch& silence;
    FrameCadence& cadence;
};

// Polls and hands off while frames may be waiting, up to the cycle's share;
// true when the share was taken. The station's array is read only until the
// next poll, so each frame is copied out to every device before the next
// poll. A frame's moment is bracketed by the clock read before each poll: a
// station looks for a frame when it is called, and one that found a frame
// may spend long before it returns (the simulated station makes 128 sensors'
// frame there in about a millisecond, a real one copies it): the return says
// nothing of when the frame was there.
bool TakeWaitingFrames(Cycle& cycle) {
    LoopEnvironment& environment = cycle.environment;
    for (int taken = 0; taken < kMaxFramesPerCycle; ++taken) {
        if (!cycle.signal.Running()) {
            return false;
        }
        const auto before = environment.Now();
        const bool found = environment.Poll(cycle.frame) && cycle.frame.samples != nullptr;
        cycle.cadence.Polled(before, found);
        if (!found) {
            cycle.silence.NoFrame(before);
            return false;
        }
        cycle.silence.Frame(before);
        // A cycle can take many frames: a device the host registered since
        // the copy at the top of it must get this one.
        cycle.follower.RefreshIfMoved();
        cycle.handoffs.HandOff(cycle.frame.samples);
        if (!cycle.cadence.PollAgainNow(environment.Now())) {
            return false;
        }
    }
    return true;
}

}  // namespace

FrameCadence::Clock::duration NominalFramePeriod(int32_t frameMultiple) {
    const double seconds = std::max(frameMultiple, 1) * kBaseFramePeriodSeconds;
    return std::chrono::nanoseconds(std::llround(seconds * 1e9));
}

void RunAcquisitionLoop(AcquisitionSignal& signal, AcquisitionContext& context) {
    StationEnvironment environment(signal);
    RunAcquisitionLoop(signal, context, environment);
}

void RunAcquisitionLoop(AcquisitionSignal& signal, AcquisitionContext& context,
                        LoopEnvironment& environment) {
    VarnixFrameBuf frame;
    std::memset(&frame, 0, sizeof frame);
    DeviceHandoffs handoffs(context);  // its threads are joined on every way out
    DeviceListFollower follower(context, handoffs);
    StationSilenceWatch silence(context);
    FrameCadence cadence(NominalFramePeriod(context.FrameMultiple()));
    Cycle cycle{signal, environment, frame, handoffs, follower, silence, cadence};
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
            cadence.Restart(NominalFramePeriod(context.FrameMultiple()));  // a new phase
        }
        const bool capped = TakeWaitingFrames(cycle);
        RunHook(hooks.beforePause);
        if (!environment.PauseUntil(cadence.NextPoll(environment.Now(), capped))) {
            break;
        }
    }
}

void SetAcquisitionHooks(const AcquisitionHooks& hooks) {
    g_hooks = hooks;
}

}  // namespace varnix
