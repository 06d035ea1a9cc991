#include "emulator/thread_identity.h"

#include <pthread.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

namespace varnix::emulator {

uint64_t CurrentThreadId() {
    return static_cast<uint64_t>(::syscall(SYS_gettid));
}

std::string CurrentThreadName() {
    char name[16] = {};
    if (pthread_getname_np(pthread_self(), name, sizeof name) != 0) return "?";
    return name;
}

int64_t MonotonicNowNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

}  // namespace varnix::emulator
