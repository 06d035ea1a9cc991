// What the host's thread tells a running acquisition thread: keep running or
// stop. One object per controller; the acquisition thread waits on it in two
// places, the 10 ms pause and a device's gate, and a stop wakes either wait
// at once.
#pragma once

#include "device/handoff_gate.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace varnix {

class AcquisitionSignal {
public:
    // [host] Arms the signal before a thread starts. Lock-free.
    void Arm() { running_.store(true); }

    // [host] Clears the running flag and wakes the thread wherever it waits.
    // Locks briefly; never blocks on the acquisition thread.
    void RequestStop();

    // [any] Lock-free; every read fetches the current value.
    bool Running() const { return running_.load(); }
    const std::atomic<bool>& RunningFlag() const { return running_; }

    // [acquisition] Sleeps until `deadline` on the steady clock, or until a
    // stop. Returns Running(). Blocks; locks; does not allocate.
    bool PauseUntil(std::chrono::steady_clock::time_point deadline);

    // [acquisition] TakeGate on `gate` that a stop interrupts: true when the
    // gate was taken, false when acquisition is stopping. Blocks; locks.
    bool TakeGate(HandoffGate& gate);

private:
    std::atomic<bool>       running_{false};
    std::mutex              mutex_;             // guards waitingGate_ and the pause
    std::condition_variable pauseCond_;
    HandoffGate*            waitingGate_ = nullptr;  // [acquisition] sets, [host] wakes it
};

}  // namespace varnix
