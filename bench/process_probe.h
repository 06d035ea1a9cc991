// What a benchmark reads about its own process: the monotonic clock, CPU
// time of all threads (ended ones included) and resident memory.
#pragma once

#include <cstdint>
#include <ctime>
#include <fstream>
#include <string>

#include <sys/resource.h>

namespace varnix::bench {

// [any] CLOCK_MONOTONIC in nanoseconds: the clock the simulated station
// stamps its frames with.
inline int64_t MonotonicNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// [any] User plus system CPU time of every thread the process ever ran,
// ended threads included (getrusage RUSAGE_SELF), in nanoseconds.
inline int64_t ProcessCpuNs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto ns = [](const timeval& t) {
        return static_cast<int64_t>(t.tv_sec) * 1000000000 + static_cast<int64_t>(t.tv_usec) * 1000;
    };
    return ns(usage.ru_utime) + ns(usage.ru_stime);
}

// [any] A "VmRSS"-style line of /proc/self/status in KiB, or -1. Allocates.
inline int64_t StatusKiB(const std::string& key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.compare(0, key.size() + 1, key + ":") == 0) {
            return std::stoll(line.substr(key.size() + 1));
        }
    }
    return -1;
}

}  // namespace varnix::bench
