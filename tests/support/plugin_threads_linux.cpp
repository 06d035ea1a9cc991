#include "tests/support/plugin_threads.h"

#include "emulator/live_threads.h"

namespace plugin_threads {

std::set<int64_t> Named(const std::string& name) {
    std::set<int64_t> ids;
    for (const auto& [id, threadName] : varnix::emulator::LiveThreads()) {
        if (threadName == name) ids.insert(id);
    }
    return ids;
}

}  // namespace plugin_threads
