#include "acquisition/handoff_doorbell.h"

#include <climits>

#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace varnix {

namespace {

// The futex word is the atomic's own storage: std::atomic<uint32_t> is
// lock-free and has the size of its value.
static_assert(sizeof(std::atomic<uint32_t>) == sizeof(uint32_t),
              "the ring count is a plain futex word");

uint32_t* Word(std::atomic<uint32_t>& rings) {
    return reinterpret_cast<uint32_t*>(&rings);
}

}  // namespace

void HandoffDoorbell::Wait(uint32_t seen) {
    // The kernel compares the word with `seen` and sleeps in one step, so a
    // Ring between the caller's look and this call makes it return at once.
    // An interruption (EINTR) or a moved word (EAGAIN) returns too.
    syscall(SYS_futex, Word(rings_), FUTEX_WAIT_PRIVATE, seen, nullptr, nullptr, 0);
}

void HandoffDoorbell::Ring() {
    rings_.fetch_add(1);
    syscall(SYS_futex, Word(rings_), FUTEX_WAKE_PRIVATE, INT_MAX, nullptr, nullptr, 0);
}

}  // namespace varnix
