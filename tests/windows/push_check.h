// Checks the recorded pushes of one session against the frames the station
// delivered. The station hands the module frames numbered by delivery; the
// module hands every frame to every device, numbering each device's samples
// from 0 at SessionOpened. So push p of a device, with first-sample index i
// and S samples per frame, holds the device's slice of delivery
// first + i / S, where `first` is the station's delivery count when the
// session was declared (no frame of the session can come before it). The
// slice of sensor k lies after the slices of sensors 0..k-1, as the station
// lays its frames out.
#pragma once

#include "tests/windows/push_recorder.h"
#include "tests/windows/station.h"

struct CheckedDevice {
    size_t sensor;         // the station's sensor, and the recorder's device slot
    int32_t sessionId;     // what the host declared to it
    int32_t channelCount;  // outputs the module published for the sensor
};

struct SessionWindow {
    uint64_t firstDelivery;    // station's delivery count at the declaration
    uint64_t deliveredBefore;  // every device must hold deliveries up to here
    // The host's SessionOpened calls returned only after frames had already
    // gone out: each device may restart its numbering at 0 once.
    bool restartAllowed;
};

// [host] Prints the check lines of the session's pushes. Takes the
// recorder's lock while it reads; calls the station.
void CheckPushes(PushRecorder& recorder, const Station& station, const CheckedDevice* devices,
                 size_t deviceCount, const SessionWindow& window);
