// The plug-in's threads as the operating system sees them: the threads of
// this process that still run, by name. One file per platform answers it:
// plugin_threads_linux.cpp reads /proc (see emulator/live_threads.h: a
// thread on its way out of the kernel counts as gone),
// plugin_threads_windows.cpp asks for the thread descriptions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>

namespace plugin_threads {

// Ids of the running threads named `name` ("varnix-handoff", ...).
std::set<int64_t> Named(const std::string& name);

// Hand-off and acquisition threads running now.
inline size_t PluginThreadCount() {
    return Named("varnix-handoff").size() + Named("varnix-acquire").size();
}

}  // namespace plugin_threads
