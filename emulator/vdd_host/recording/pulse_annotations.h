// The pulses the station's trigger inputs received during a session, as
// annotations of its EDF file ("start pulse", "stop pulse") at the time the
// station received them: those vdd-host sent, those a station profile
// schedules and those a replayed recording carries alike. A station without
// a pulse log gets vdd-host's own pulses annotated instead (capture_command).
#pragma once

#include "emulator/vdd_host/common/station_observer.h"
#include "emulator/vdd_host/recording/edf_recorder.h"

#include <cstdint>

namespace varnix::vddhost {

// [host] The main thread only. Forward takes no lock of its own; it asks
// the station (which locks its log briefly) and allocates for annotations.
class PulseAnnotations {
public:
    explicit PulseAnnotations(const StationObserver& station) : station_(station) {}

    // True when the station logs its pulses, so this class annotates them.
    bool Active() const { return station_.HasPulseLog(); }
    // A session begins: pulses before now are not its own.
    void BeginSession() { next_ = station_.PulseCount(); }
    // Annotates every pulse logged since the last call.
    void Forward(EdfRecorder& recorder);

private:
    const StationObserver& station_;
    uint64_t next_ = 0;  // sequence of the next pulse to annotate
};

}  // namespace varnix::vddhost
