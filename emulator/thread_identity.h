// Who is calling and when: the host stamps every call it receives with the
// calling thread and a monotonic time, so a record shows which thread of the
// plug-in made it.
#pragma once

#include <cstdint>
#include <string>

namespace varnix::emulator {

// [any thread] The kernel's id of the calling thread. Does not block.
uint64_t CurrentThreadId();

// [any thread] The calling thread's name (pthread name, at most 15 bytes).
// Allocates.
std::string CurrentThreadName();

// [any thread] CLOCK_MONOTONIC in nanoseconds: the clock the simulated
// station stamps its frames with, so the two can be subtracted.
int64_t MonotonicNowNs();

}  // namespace varnix::emulator
