// The threads of this process that still run, by id and name, read from
// /proc/self/task. A thread that has ended, or is on its way out of the
// kernel, counts as gone: the kernel wakes pthread_join before it removes
// the joined thread from /proc, so a thread a Shutdown has joined may still
// be listed for a moment, with the kernel's exiting flag set; it runs no
// code of anyone's any more.
#pragma once

#include <dirent.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace varnix::emulator {

namespace live_threads_detail {

inline std::string FirstLine(const std::string& path) {
    std::ifstream file(path);
    std::string line;
    std::getline(file, line);
    return line;
}

// The kernel's PF_EXITING: set when a thread enters its exit.
constexpr unsigned long kExitingFlag = 0x4;

// True when /proc/self/task/<id>/stat shows a thread that has ended or is
// ending: state Z or X, or the exiting flag. The fields after the name in
// brackets (which may itself hold spaces or brackets) are: state, ppid,
// pgrp, session, tty, tpgid, flags.
inline bool ThreadEnding(const std::string& id) {
    const std::string stat = FirstLine("/proc/self/task/" + id + "/stat");
    const size_t close = stat.rfind(')');
    if (close == std::string::npos) return true;  // gone while we looked
    std::istringstream fields(stat.substr(close + 1));
    std::string state, skip;
    unsigned long flags = 0;
    fields >> state >> skip >> skip >> skip >> skip >> skip >> flags;
    return state == "Z" || state == "X" || (flags & kExitingFlag) != 0;
}

}  // namespace live_threads_detail

// [any] Thread id -> name of every thread of this process that still runs.
// Allocates; does not lock.
inline std::map<int64_t, std::string> LiveThreads() {
    std::map<int64_t, std::string> threads;
    DIR* folder = opendir("/proc/self/task");
    if (folder == nullptr) return threads;
    while (dirent* entry = readdir(folder)) {
        if (entry->d_name[0] == '.') continue;
        const std::string id = entry->d_name;
        if (live_threads_detail::ThreadEnding(id)) continue;
        threads[std::atoll(id.c_str())] =
            live_threads_detail::FirstLine("/proc/self/task/" + id + "/comm");
    }
    closedir(folder);
    return threads;
}

}  // namespace varnix::emulator
