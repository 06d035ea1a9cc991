// What the host's thread tells a running acquisition thread: keep running or
// stop. One object per controller; a stop wakes the 10 ms pause at once. It
// does not cut a gate wait short (see device/handoff_gate.h): a frame once
// polled is handed to every device before the loop looks at the flag again.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace varnix {

class AcquisitionSignal {
public:
    // [host] Arms the signal before a thread starts. Lock-free.
    void Arm() { running_.store(true); }

    // [host] Clears the running flag and wakes the pause. Locks briefly;
    // never blocks on the acquisition thread.
    void RequestStop();

    // [any] Lock-free; every read fetches the current value.
    bool Running() const { return running_.load(); }

    // [acquisition] Sleeps until `deadline` on the steady clock, or until a
    // stop. Returns Running(). Blocks; locks; does not allocate.
    bool PauseUntil(std::chrono::steady_clock::time_point deadline);

private:
    std::atomic<bool> running_{false};
    std::mutex mutex_;  // pairs with pauseCond_
    std::condition_variable pauseCond_;
};

}  // namespace varnix
