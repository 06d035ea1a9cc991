// Owner of the one acquisition thread: starts it, stops it, joins it.
#include "acquisition/acquisition.h"

#include "acquisition/acquisition_loop.h"
#include "acquisition/acquisition_signal.h"
#include "acquisition/thread_role.h"
#include "bridge/bridge.h"
#include "host/host_boundary.h"
#include "platform/platform.h"

#include <mutex>
#include <thread>

namespace varnix {

namespace {

struct AcquisitionController {
    std::mutex lifecycleMutex;  // [host] serialises start and stop; never taken by the thread
    std::thread thread;         // guarded by lifecycleMutex
    AcquisitionSignal signal;   // [host] arms and stops, [acquisition] reads

    // At unload a thread still running module code must end first.
    ~AcquisitionController() { StopAcquisition(); }
};

AcquisitionController& Controller() {
    static AcquisitionController controller;
    return controller;
}

// [acquisition] The thread's body. Whatever ends the loop (a stop, or an
// error that escaped it, which is logged), the station then sees
// varnix_stop: the stop path of acquisition.
void AcquisitionThreadMain(AcquisitionSignal& signal, AcquisitionContext& context) {
    platform::NameCurrentThread(kAcquisitionThreadName);
    const platform::PromptWakeScope promptWake;
    GuardBoundary(context.Services(), "Acquisition", [&] { RunAcquisitionLoop(signal, context); });
    signal.RequestStop();
    GuardBoundary(context.Services(), "Acquisition stop", [] { varnix_stop(); });
}

}  // namespace

void StartAcquisition(AcquisitionContext& context) {
    AcquisitionController& controller = Controller();
    std::lock_guard<std::mutex> lock(controller.lifecycleMutex);
    if (controller.thread.joinable() && controller.signal.Running()) {
        return;  // one loop polls already
    }
    if (controller.thread.joinable()) {
        controller.thread.join();  // it ended on its own (an error); it is gone or going
    }
    controller.signal.Arm();
    try {
        controller.thread =
            std::thread(AcquisitionThreadMain, std::ref(controller.signal), std::ref(context));
    } catch (...) {
        controller.signal.RequestStop();
        throw;
    }
}

void StopAcquisition() {
    AcquisitionController& controller = Controller();
    std::lock_guard<std::mutex> lock(controller.lifecycleMutex);
    controller.signal.RequestStop();
    if (!controller.thread.joinable()) {
        return;
    }
    // Called from the acquisition thread itself (a host calling back into
    // Shutdown from RequestUpdate): it cannot wait for itself. The loop ends
    // after this cycle; the next start or stop joins it.
    if (controller.thread.get_id() == std::this_thread::get_id()) {
        return;
    }
    controller.thread.join();
}

bool AcquisitionRunning() {
    return Controller().signal.Running();
}

}  // namespace varnix
