#include "acquisition/handoff_doorbell.h"

#include "platform/platform.h"

namespace varnix {

// The system compares the count with `seen` and sleeps in one step, so a
// Ring between the caller's look and this call makes it return at once.
void HandoffDoorbell::Wait(uint32_t seen) {
    platform::WaitOnWord(rings_, seen);
}

void HandoffDoorbell::Ring() {
    rings_.fetch_add(1);
    platform::WakeAllOnWord(rings_);
}

}  // namespace varnix
