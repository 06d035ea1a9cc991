#include "emulator/vdd_host/recording/pulse_annotations.h"

namespace varnix::vddhost {

void PulseAnnotations::Forward(EdfRecorder& recorder) {
    const uint64_t count = station_.PulseCount();
    for (; next_ < count; ++next_) {
        VarnixSimPulse pulse{};
        // A pulse the log no longer keeps (more than it holds came since
        // the last call) is passed over.
        if (!station_.Pulse(next_, pulse)) continue;
        recorder.Note(pulse.timeNs,
                      pulse.input == VARNIX_SIM_START_INPUT ? "start pulse" : "stop pulse");
    }
}

}  // namespace varnix::vddhost
