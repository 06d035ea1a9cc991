// The plug-in's threads as the operating system sees them: the threads of
// this process, by name, read from /proc/self/task.
#pragma once

#include <dirent.h>

#include <cstdint>
#include <fstream>
#include <map>
#include <set>
#include <string>

namespace plugin_threads {

// Thread ids of this process by thread name ("varnix-handoff", ...).
inline std::map<std::string, std::set<int64_t>> ThreadsByName() {
    std::map<std::string, std::set<int64_t>> threads;
    DIR* tasks = opendir("/proc/self/task");
    if (tasks == nullptr) return threads;
    while (dirent* entry = readdir(tasks)) {
        if (entry->d_name[0] == '.') continue;
        std::ifstream comm(std::string("/proc/self/task/") + entry->d_name + "/comm");
        std::string name;
        if (std::getline(comm, name)) threads[name].insert(std::stoll(entry->d_name));
    }
    closedir(tasks);
    return threads;
}

inline std::set<int64_t> Named(const std::string& name) {
    const auto threads = ThreadsByName();
    const auto found = threads.find(name);
    return found == threads.end() ? std::set<int64_t>{} : found->second;
}

// Hand-off and acquisition threads alive now.
inline size_t PluginThreadCount() {
    return Named("varnix-handoff").size() + Named("varnix-acquire").size();
}

}  // namespace plugin_threads
