#include "acquisition/acquisition_loop.h"

#include "acquisition/handoff_launcher.h"
#include "acquisition/session_start.h"
#include "acquisition/station_silence.h"
#include "bridge/bridge.h"
#include "device/vdevice.h"
#include "plugin/plugin_state.h"

#include <cstring>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace varnix {

namespace {

// The acquisition thread's own copy of the device list, with the hand-off
// thread last started for each entry. Its shared pointers keep every device
// alive while the thread may still copy into it or a hand-off may push it.
class DeviceSnapshot {
public:
    DeviceSnapshot() = default;
    DeviceSnapshot(const DeviceSnapshot&) = delete;
    DeviceSnapshot& operator=(const DeviceSnapshot&) = delete;
    ~DeviceSnapshot() { JoinHandoffs(); }

    // Copies the list when the host changed it since the last copy. Hand-offs
    // of the old copy are joined first, outside the lock, so that no entry
    // is dropped while its delivery runs.
    void Refresh() {
        PluginState& state = State();
        {
            std::lock_guard<std::mutex> lock(state.deviceListMutex);
            if (copied_ && state.deviceListVersion == version_) {
                return;
            }
        }
        JoinHandoffs();
        DeviceList fresh;
        {
            std::lock_guard<std::mutex> lock(state.deviceListMutex);
            fresh = state.devices;
            version_ = state.deviceListVersion;
        }
        copied_ = true;
        devices_.swap(fresh);  // devices dropped from the list die with `fresh`, here
        handoffs_.clear();
        handoffs_.resize(devices_.size());
    }

    const DeviceList& Devices() const { return devices_; }
    std::thread& HandoffOf(size_t index) { return handoffs_[index]; }

    void JoinHandoffs() {
        for (std::thread& handoff : handoffs_) {
            if (handoff.joinable()) {
                handoff.join();
            }
        }
    }

private:
    DeviceList               devices_;
    std::vector<std::thread> handoffs_;  // parallel to devices_
    uint64_t                 version_ = 0;
    bool                     copied_ = false;
};

void ReportMissedFrame(size_t index, const char* cause) {
    const std::string line = "Device " + std::to_string(index) +
                             " missed a frame: its hand-off thread could not be started (" +
                             cause + "); acquisition goes on.";
    LogToHost(line.c_str(), kLogError);
}

// One device's share of one frame: gate, copy, hand-off thread.
void HandOffToDevice(DeviceSnapshot& snapshot, size_t index, const float* samples) {
    const boost::shared_ptr<vDevice>& device = snapshot.Devices()[index];
    device->Gate().TakeGate();
    // The previous hand-off gave the gate back, so it is ending: the join
    // returns at once.
    std::thread& handoff = snapshot.HandoffOf(index);
    if (handoff.joinable()) {
        handoff.join();
    }
    device->LoadSlice(samples);
    try {
        handoff = LaunchHandoff(device);
    } catch (const std::exception& e) {
        device->Gate().ReleaseGate();
        ReportMissedFrame(index, e.what());
    }
}

// A polled frame goes to every device, also when a stop comes meanwhile: a
// frame is delivered to all devices or to none.
void HandOffFrame(DeviceSnapshot& snapshot, const float* samples) {
    for (size_t i = 0; i < snapshot.Devices().size(); ++i) {
        HandOffToDevice(snapshot, i, samples);
    }
}

}  // namespace

void RunAcquisitionLoop(AcquisitionSignal& signal) {
    VarnixFrameBuf frame;
    std::memset(&frame, 0, sizeof frame);
    DeviceSnapshot snapshot;
    StationSilenceWatch silence;
    while (signal.Running()) {
        snapshot.Refresh();
        const DeviceList& devices = snapshot.Devices();
        if (!devices.empty() && devices.front()->ConfigureRequested()) {
            // The copy above may predate the end of an instantiation (this
            // thread can be held up between the copy and the check); once the
            // first device asks for a session, the host has registered them
            // all, so copy again or the devices added meanwhile never get ready.
            snapshot.Refresh();
            silence.SessionStarted(StartSession(devices).stopInput);
        }
        if (!signal.Running()) {
            break;
        }
        // The station's array is read only until the next poll: every slice
        // is copied out of it within this cycle.
        if (varnix_pollData(frame) && frame.samples != nullptr) {
            silence.Frame(std::chrono::steady_clock::now());
            HandOffFrame(snapshot, frame.samples);
        } else {
            silence.NoFrame(std::chrono::steady_clock::now());
        }
        signal.PauseUntil(std::chrono::steady_clock::now() + kPollPause);
    }
}

}  // namespace varnix
