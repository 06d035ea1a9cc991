#include "acquisition/device_handoffs.h"

#include "host/host_log.h"

#include <string>
#include <utility>

namespace varnix {

void DeviceHandoffs::Update(DeviceList devices) {
    std::vector<Slot> slots(devices.size());
    // A device that stays keeps its slot, also when it moved in the list.
    for (size_t i = 0; i < devices.size(); ++i) {
        for (size_t j = 0; j < devices_.size(); ++j) {
            if (devices_[j] != nullptr && devices_[j] == devices[i]) {
                slots[i] = std::move(slots_[j]);
                devices_[j].reset();  // taken: a device listed twice gets a second slot
                break;
            }
        }
    }
    // The threads of the devices that left end here, each after its delivery.
    StopThreads(slots_);
    devices_ = std::move(devices);
    slots_ = std::move(slots);
    for (size_t i = 0; i < slots_.size(); ++i) {
        if (slots_[i].thread == nullptr) {
            StartThread(i);
        }
    }
}

void DeviceHandoffs::HandOff(const float* samples) {
    bool given = false;  // a slice was given since the last ring
    for (size_t i = 0; i < devices_.size(); ++i) {
        Slot& slot = slots_[i];
        if (slot.thread == nullptr && !StartThread(i)) {
            ++slot.missedFrames;
            continue;
        }
        HandoffGate& gate = devices_[i]->Gate();
        if (!gate.TryTakeGate()) {
            if (given) {
                doorbell_.Ring();  // the devices before this one need not wait with it
                given = false;
            }
            gate.TakeGate();
        }
        devices_[i]->LoadSlice(samples);
        slot.thread->Give();
        given = true;
    }
    if (given) {
        doorbell_.Ring();
    }
}

void DeviceHandoffs::StopThreads(std::vector<Slot>& slots) {
    bool any = false;
    for (Slot& slot : slots) {
        if (slot.thread != nullptr) {
            slot.thread->RequestStop();
            any = true;
        }
    }
    if (any) {
        doorbell_.Ring();
    }
    for (Slot& slot : slots) {
        if (slot.thread != nullptr) {
            slot.thread->Join();
        }
    }
    slots.clear();
}

bool DeviceHandoffs::StartThread(size_t index) {
    Slot& slot = slots_[index];
    try {
        slot.thread = std::make_unique<HandoffThread>(devices_[index], doorbell_);
    } catch (const std::exception& e) {
        if (!slot.startFailed) {
            slot.startFailed = true;
            const std::string line =
                "Device " + std::to_string(index) +
                " misses frames: its hand-off thread could not be started (" + e.what() +
                "); the other devices go on, and a new start is tried at each frame.";
            LogTo(context_.Services(), line.c_str(), kLogError);
        }
        return false;
    }
    if (slot.startFailed) {
        const std::string line =
            "Device " + std::to_string(index) + ": its hand-off thread started after " +
            std::to_string(slot.missedFrames) + " missed frames; it receives frames again.";
        LogTo(context_.Services(), line.c_str(), kLogInfo);
        slot.startFailed = false;
        slot.missedFrames = 0;
    }
    return true;
}

}  // namespace varnix
