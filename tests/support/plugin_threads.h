// The plug-in's threads as the operating system sees them: the threads of
// this process that still run, by name (a thread on its way out of the
// kernel counts as gone; see emulator/live_threads.h).
#pragma once

#include "emulator/live_threads.h"

#include <cstdint>
#include <set>
#include <string>

namespace plugin_threads {

// Ids of the running threads named `name` ("varnix-handoff", ...).
inline std::set<int64_t> Named(const std::string& name) {
    std::set<int64_t> ids;
    for (const auto& [id, threadName] : varnix::emulator::LiveThreads()) {
        if (threadName == name) ids.insert(id);
    }
    return ids;
}

// Hand-off and acquisition threads running now.
inline size_t PluginThreadCount() {
    return Named("varnix-handoff").size() + Named("varnix-acquire").size();
}

}  // namespace plugin_threads
