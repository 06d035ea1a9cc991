// What the plug-in's own threads ask of the system when they start: a name
// by role, so that a debugger or `top -H` tells them apart, and a short time
// slice, so that they run soon after they wake on a busy machine.
#pragma once

#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdint>
#include <thread>

namespace varnix {

constexpr const char* kAcquisitionThreadName = "varnix-acquire";
constexpr const char* kHandoffThreadName = "varnix-handoff";

// The slice our threads ask for. Each runs for microseconds per frame and
// then sleeps, but must run soon after it wakes: the next poll, or the push
// of a frame, waits for it. With a short slice the kernel's fair scheduler
// (Linux 6.12 on) gives a woken thread an earlier deadline than a busy
// process's, so it runs first instead of after that process's slice; the
// share of CPU each thread gets stays what it was.
constexpr uint64_t kShortSliceNs = 500000;

// [acquisition][handoff] Names the calling thread; at most 15 characters
// are kept. Never fails visibly: a name is a help, not a need.
inline void NameCurrentThread(const char* name) noexcept {
    pthread_setname_np(pthread_self(), name);
}

// [acquisition] Names a thread this thread started, so that it carries its
// name from the moment its start returns (before it runs, a new thread
// shows its starter's name).
inline void NameThread(std::thread& thread, const char* name) noexcept {
    pthread_setname_np(thread.native_handle(), name);
}

// [acquisition][handoff] Asks the kernel for a short time slice for the
// calling thread (sched_setattr, no privilege needed). Only a thread of the
// ordinary policy asks, and it keeps its nice value: a host that runs its
// threads under a real-time policy or at another priority keeps it. A kernel
// that does not know the request ignores or refuses it; either way the
// thread runs as before, so the answer is not looked at.
inline void RequestShortTimeSlice() noexcept {
    struct SchedAttr {  // the kernel's struct sched_attr, first version
        uint32_t size;
        uint32_t policy;
        uint64_t flags;
        int32_t nice;
        uint32_t priority;
        uint64_t runtime;  // the slice, for the ordinary policy
        uint64_t deadline;
        uint64_t period;
    };
    constexpr uint32_t kOrdinaryPolicy = 0;  // SCHED_OTHER
    SchedAttr attributes{};
    if (syscall(SYS_sched_getattr, 0, &attributes, sizeof attributes, 0) != 0 ||
        attributes.policy != kOrdinaryPolicy) {
        return;
    }
    attributes.size = sizeof attributes;
    attributes.flags = 0;
    attributes.runtime = kShortSliceNs;
    syscall(SYS_sched_setattr, 0, &attributes, 0);
}

}  // namespace varnix
